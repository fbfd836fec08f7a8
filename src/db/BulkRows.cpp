#include "db/BulkRows.h"

#include "core/VoxError.h"
#include "db/DbConnection.h"
#include "db/SqlDialect.h"

#include <QSqlDriver>
#include <algorithm>
#include <cstring>
#include <sql.h>
#include <sqlext.h>
#include <vector>

namespace {
// The SQLHDBC under the connection; the plugin hands it out as "SQLHANDLE"
// or, in some Qt versions, as a plain "void*".
SQLHDBC connectionHandle(const DbConnection &connection)
{
    const QSqlDatabase db = connection.database();
    const QVariant handle = db.isOpen() && db.driver() ? db.driver()->handle() : QVariant();
    const char *type = handle.typeName();
    if (!type || (qstrcmp(type, "SQLHANDLE") != 0 && qstrcmp(type, "void*") != 0))
        return SQL_NULL_HDBC;
    return *static_cast<const SQLHDBC *>(handle.constData());
}
} // namespace

struct BulkRows::Private {
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    QVector<Column> columns;
    // Column-wise buffers: RowsPerFetch values of one column each.
    std::vector<std::vector<char>> data;
    std::vector<std::vector<SQLLEN>> lengths;
    std::vector<QByteArray> params;
    std::vector<SQLLEN> paramLengths;
    SQLULEN fetched = 0;
    SQLULEN row = 0;
    bool done = false;

    int stride(int c) const
    {
        switch (columns[c].kind) {
        case Kind::Text:
            return columns[c].width + 1;
        case Kind::Integer:
            return int(sizeof(SQLINTEGER));
        case Kind::DateTime:
            break;
        }
        return int(sizeof(SQL_TIMESTAMP_STRUCT));
    }
    const char *at(int c) const { return data[c].data() + std::size_t(row) * std::size_t(stride(c)); }

    [[noreturn]] void fail(const QString &fallback) const
    {
        SQLCHAR state[6] = {0};
        SQLCHAR message[1024] = {0};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        QString text;
        if (stmt != SQL_NULL_HSTMT &&
            SQL_SUCCEEDED(SQLGetDiagRec(SQL_HANDLE_STMT, stmt, 1, state, &native, message, sizeof message, &length)))
            text = QString::fromUtf8(reinterpret_cast<const char *>(message)).trimmed();
        throw VoxError(text.isEmpty() ? fallback : text);
    }
    void check(SQLRETURN r, const QString &fallback) const
    {
        if (!SQL_SUCCEEDED(r))
            fail(fallback);
    }
};

BulkRows::BulkRows(DbConnection &connection, const QString &sql, const QVariantMap &params,
                   const QVector<Column> &columns)
    : d(std::make_unique<Private>())
{
    connection.ensureOpen();
    SQLHDBC hdbc = connectionHandle(connection);
    if (hdbc == SQL_NULL_HDBC)
        throw VoxError(QStringLiteral("The database connection offers no ODBC handle."));
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, hdbc, &d->stmt))) {
        d->stmt = SQL_NULL_HSTMT;
        throw VoxError(QStringLiteral("Cannot start a statement on the database connection."));
    }
    d->columns = columns;

    const ParsedSql parsed = SqlDialect::parseParameters(SqlDialect::adapt(sql, connection.dialect()));
    QByteArray statement = parsed.sql.toUtf8();
    d->check(SQLPrepare(d->stmt, reinterpret_cast<SQLCHAR *>(statement.data()), SQL_NTS),
             QStringLiteral("Cannot prepare: ") + parsed.sql);
    d->params.resize(std::size_t(parsed.params.size()));
    d->paramLengths.resize(std::size_t(parsed.params.size()));
    for (int i = 0; i < parsed.params.size(); ++i) {
        QVariant v;
        for (auto it = params.constBegin(); it != params.constEnd(); ++it) {
            if (it.key().compare(parsed.params.at(i), Qt::CaseInsensitive) == 0) {
                v = it.value();
                break;
            }
        }
        QByteArray &value = d->params[std::size_t(i)];
        value = v.toString().toUtf8();
        d->paramLengths[std::size_t(i)] = v.isNull() ? SQL_NULL_DATA : SQLLEN(value.size());
        d->check(SQLBindParameter(d->stmt, SQLUSMALLINT(i + 1), SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR,
                                  SQLULEN(std::max<qsizetype>(value.size(), 1)), 0, value.data(), SQLLEN(value.size()),
                                  &d->paramLengths[std::size_t(i)]),
                 QStringLiteral("Cannot bind a parameter of: ") + parsed.sql);
    }

    d->check(SQLSetStmtAttr(d->stmt, SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN), 0),
             QStringLiteral("The driver cannot read rows by column."));
    d->check(SQLSetStmtAttr(d->stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(SQLULEN(RowsPerFetch)), 0),
             QStringLiteral("The driver cannot read several rows at once."));
    d->check(SQLSetStmtAttr(d->stmt, SQL_ATTR_ROWS_FETCHED_PTR, &d->fetched, 0),
             QStringLiteral("The driver cannot count the rows read."));
    d->data.resize(std::size_t(columns.size()));
    d->lengths.resize(std::size_t(columns.size()));
    for (int c = 0; c < columns.size(); ++c) {
        d->data[std::size_t(c)].assign(std::size_t(d->stride(c)) * RowsPerFetch, 0);
        d->lengths[std::size_t(c)].assign(RowsPerFetch, 0);
        const Kind kind = columns[c].kind;
        const SQLSMALLINT type = kind == Kind::Text ? SQL_C_CHAR : kind == Kind::Integer ? SQL_C_SLONG : SQL_C_TYPE_TIMESTAMP;
        d->check(SQLBindCol(d->stmt, SQLUSMALLINT(c + 1), type,
                            d->data[std::size_t(c)].data(), d->stride(c), d->lengths[std::size_t(c)].data()),
                 QStringLiteral("Cannot read column %1 of: %2").arg(c + 1).arg(parsed.sql));
    }
    d->check(SQLExecute(d->stmt), QStringLiteral("The database refused the statement."));
}

BulkRows::~BulkRows()
{
    if (d->stmt != SQL_NULL_HSTMT) {
        SQLCloseCursor(d->stmt);
        SQLFreeHandle(SQL_HANDLE_STMT, d->stmt);
    }
}

bool BulkRows::next()
{
    if (d->done)
        return false;
    if (++d->row < d->fetched)
        return true;
    d->fetched = 0;
    d->row = 0;
    const SQLRETURN r = SQLFetch(d->stmt);
    if (r == SQL_NO_DATA || (SQL_SUCCEEDED(r) && d->fetched == 0)) {
        d->done = true;
        return false;
    }
    d->check(r, QStringLiteral("The database failed to deliver the rows."));
    // Every text must have fit its buffer: a cut value would be written
    // as if it were whole.
    for (int c = 0; c < d->columns.size(); ++c) {
        if (d->columns[c].kind != Kind::Text)
            continue;
        for (SQLULEN i = 0; i < d->fetched; ++i) {
            const SQLLEN n = d->lengths[std::size_t(c)][i];
            if (n == SQL_NO_TOTAL || n > d->columns[c].width)
                throw VoxError(QStringLiteral("A value of column %1 is longer than %2 bytes.")
                                   .arg(c + 1)
                                   .arg(d->columns[c].width));
        }
    }
    return true;
}

bool BulkRows::isNull(int column) const
{
    return d->lengths[std::size_t(column)][d->row] == SQL_NULL_DATA;
}

QByteArrayView BulkRows::bytes(int column) const
{
    if (isNull(column))
        return {};
    return QByteArrayView(d->at(column), d->lengths[std::size_t(column)][d->row]);
}

QString BulkRows::text(int column) const
{
    return QString::fromUtf8(bytes(column));
}

int BulkRows::integer(int column) const
{
    if (isNull(column))
        return 0;
    SQLINTEGER value = 0;
    std::memcpy(&value, d->at(column), sizeof value);
    return int(value);
}

QDateTime BulkRows::dateTime(int column) const
{
    if (isNull(column))
        return {};
    SQL_TIMESTAMP_STRUCT ts;
    std::memcpy(&ts, d->at(column), sizeof ts);
    return QDateTime(QDate(ts.year, ts.month, ts.day), QTime(ts.hour, ts.minute, ts.second, int(ts.fraction / 1000000)));
}
