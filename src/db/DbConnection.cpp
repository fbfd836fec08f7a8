#include "db/DbConnection.h"

#include "core/VoxError.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QVariant>

#include <sql.h>
#include <sqlext.h>

const char *const DbConnection::ConnectionName = "voxadmin.Database1";

namespace {
int g_serial = 0;
}

DbConnection::DbConnection(QObject *parent)
    : QObject(parent)
{
    setObjectName(QStringLiteral("Database1"));
    // One name per connection object, so tests may hold several at once.
    m_connectionName = QString::fromLatin1(ConnectionName);
    if (g_serial++ > 0)
        m_connectionName += QString::number(g_serial);
}

DbConnection::~DbConnection()
{
    close();
    QSqlDatabase::removeDatabase(m_connectionName);
}

void DbConnection::setParams(const QString &dsn, const QString &user, const QString &password)
{
    m_dsn = dsn;
    m_user = user;
    m_password = password;
}

QSqlDatabase DbConnection::database() const
{
    return QSqlDatabase::database(m_connectionName, false);
}

bool DbConnection::isOpen() const
{
    return QSqlDatabase::contains(m_connectionName) && database().isOpen();
}

namespace {
// What the ODBC plugin of Qt makes of a database name before it appends the
// user name and password: a file data source, a connection string, or the
// name of a data source.
QString pluginString(const QString &db)
{
    if (db.contains(QLatin1String(".dsn"), Qt::CaseInsensitive))
        return QStringLiteral("FILEDSN=") + db;
    if (db.contains(QLatin1String("DRIVER="), Qt::CaseInsensitive)
        || db.contains(QLatin1String("SERVER="), Qt::CaseInsensitive))
        return db;
    return QStringLiteral("DSN=") + db;
}

QString withoutTrailingSemicolons(QString s)
{
    while (s.endsWith(QLatin1Char(';')))
        s.chop(1);
    return s;
}

QString credentials(const QString &user, const QString &password)
{
    QString out;
    if (!user.isEmpty())
        out += QStringLiteral(";UID=") + DbConnection::odbcValue(user);
    if (!password.isEmpty())
        out += QStringLiteral(";PWD=") + DbConnection::odbcValue(password);
    return out;
}

QString connectionProblem()
{
    return QStringLiteral("Database connection problem. Please check setting!");
}
} // namespace

QString DbConnection::odbcValue(const QString &value)
{
    const bool plain = !value.contains(QLatin1Char(';')) && !value.contains(QLatin1Char('{'))
        && !value.contains(QLatin1Char('}')) && value.trimmed().size() == value.size();
    if (plain)
        return value;
    QString escaped = value;
    escaped.replace(QLatin1Char('}'), QLatin1String("}}"));
    return QLatin1Char('{') + escaped + QLatin1Char('}');
}

QString DbConnection::connectionString(const QString &dsn, const QString &user, const QString &password)
{
    const QString creds = credentials(user, password);
    const QString base = pluginString(dsn);
    return creds.isEmpty() ? base : withoutTrailingSemicolons(base) + creds;
}

void DbConnection::open()
{
    if (isOpen())
        return;
    if (m_dsn.trimmed().isEmpty()) {
        // With an empty name unixODBC may "connect" and leave a stray file
        // named "DSN=" behind: never hand it one.
        throw VoxError(connectionProblem());
    }
    QSqlDatabase db = QSqlDatabase::contains(m_connectionName)
        ? QSqlDatabase::database(m_connectionName, false)
        : QSqlDatabase::addDatabase(QStringLiteral("QODBC"), m_connectionName);
    if (!db.isValid())
        throw VoxError(QStringLiteral("The ODBC database driver is not available."));
    // The user name and password go into the connection string already
    // quoted (the plugin would append them as they are), in a form the
    // plugin hands on unchanged.
    const QString wanted = connectionString(m_dsn, m_user, m_password);
    const QString creds = credentials(m_user, m_password);
    QString name;
    if (creds.isEmpty())
        name = m_dsn;
    else if (pluginString(withoutTrailingSemicolons(m_dsn) + creds) == wanted)
        name = withoutTrailingSemicolons(m_dsn) + creds;
    else if (pluginString(wanted) == wanted)
        name = wanted;
    else
        throw VoxError(connectionProblem());
    db.setDatabaseName(name);
    db.setUserName(QString());
    db.setPassword(QString());
    db.setConnectOptions(QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=10"));
    if (!db.open()) {
        const QString text = db.lastError().text();
        throw VoxError(text.isEmpty() ? QStringLiteral("Cannot connect to the database.") : text);
    }
    ++m_generation;
    m_keepsCursors = -1;
    detectDialect();
}

void DbConnection::close()
{
    if (QSqlDatabase::contains(m_connectionName)) {
        QSqlDatabase db = database();
        if (db.isOpen())
            db.close();
    }
}

void DbConnection::ensureOpen()
{
    if (!isOpen())
        open();
}

void *DbConnection::odbcHandle() const
{
    if (!QSqlDatabase::contains(m_connectionName))
        return nullptr;
    const QSqlDatabase db = database();
    if (!db.isOpen() || !db.driver())
        return nullptr;
    // The plugin hands its SQLHDBC out as "SQLHANDLE" or, in some Qt
    // versions, as a plain "void*".
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid()
        || (qstrcmp(handle.typeName(), "SQLHANDLE") != 0 && qstrcmp(handle.typeName(), "void*") != 0))
        return nullptr;
    return *static_cast<const SQLHANDLE *>(handle.data());
}

void DbConnection::detectDialect()
{
    QString dbms;
    if (SQLHANDLE hdbc = odbcHandle()) {
        SQLCHAR name[256] = {0};
        SQLSMALLINT len = 0;
        if (SQL_SUCCEEDED(SQLGetInfo(hdbc, SQL_DBMS_NAME, name, sizeof(name), &len)))
            dbms = QString::fromLatin1(reinterpret_cast<const char *>(name));
    }
    if (dbms.isEmpty())
        dbms = m_dsn;
    m_dialect = SqlDialect::fromDbmsName(dbms);
}

QSqlQuery DbConnection::newQuery()
{
    ensureOpen();
    return QSqlQuery(database());
}

void DbConnection::prepare(QSqlQuery &query, const QString &sql)
{
    if (!query.prepare(sql)) {
        const QSqlError err = query.lastError();
        dropIfBroken();
        throw VoxError(err.text().isEmpty() ? QStringLiteral("Cannot prepare: ") + sql : err.text());
    }
}

void DbConnection::prepareNamed(QSqlQuery &query, const QString &sql, const QVariantMap &params)
{
    const ParsedSql parsed = SqlDialect::parseParameters(SqlDialect::adapt(sql, m_dialect));
    prepare(query, parsed.sql);
    for (int i = 0; i < parsed.params.size(); ++i) {
        QVariant v;
        for (auto it = params.constBegin(); it != params.constEnd(); ++it) {
            if (it.key().compare(parsed.params.at(i), Qt::CaseInsensitive) == 0) {
                v = it.value();
                break;
            }
        }
        if (!v.isValid())
            v = QVariant(QMetaType(QMetaType::QString));
        query.bindValue(i, v);
    }
}

void DbConnection::exec(QSqlQuery &query)
{
    if (!query.exec()) {
        const QSqlError err = query.lastError();
        dropIfBroken();
        throw VoxError(err.text().isEmpty() ? QStringLiteral("The database refused the statement.")
                                            : err.text());
    }
}

void DbConnection::checkQuery(const QSqlQuery &query)
{
    const QSqlError err = query.lastError();
    if (err.type() == QSqlError::NoError)
        return;
    dropIfBroken();
    throw VoxError(err.text().isEmpty() ? QStringLiteral("The database failed to deliver the rows.") : err.text());
}

bool DbConnection::fetch(QSqlQuery &query)
{
    if (query.next())
        return true;
    checkQuery(query);
    return false;
}

void DbConnection::execSingleRow(QSqlQuery &query)
{
    exec(query);
    // -1: the driver cannot tell, and the write stands as it did.
    const int rows = query.numRowsAffected();
    if (rows == 0)
        throw VoxError(QStringLiteral("The record was not found in the database: another user may have "
                                      "changed or deleted it. Nothing was written."));
    if (rows > 1)
        throw VoxError(QStringLiteral("The record is not unique in the database: %1 rows were changed.").arg(rows));
}

bool DbConnection::linkIsDead()
{
    SQLHANDLE hdbc = odbcHandle();
    if (!hdbc)
        return false;
    // The driver knows whether its link broke.
    SQLUINTEGER dead = SQL_CD_FALSE;
    if (SQL_SUCCEEDED(SQLGetConnectAttr(hdbc, SQL_ATTR_CONNECTION_DEAD, &dead, SQL_IS_UINTEGER, nullptr)))
        return dead == SQL_CD_TRUE;
    // A driver that cannot say is asked the cheapest question there is.
    QSqlQuery probe(database());
    return !probe.exec(QStringLiteral("SELECT 1"));
}

void DbConnection::dropIfBroken()
{
    // The next operation then connects again instead of failing on a dead
    // link until the console is restarted.
    if (isOpen() && linkIsDead())
        close();
}

FieldDef DbConnection::describeColumn(const QSqlField &column)
{
    FieldDef def;
    def.name = column.name();
    switch (column.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::LongLong:
    case QMetaType::UInt:
        def.type = FieldType::Integer;
        break;
    case QMetaType::Double:
        def.type = FieldType::Float;
        break;
    case QMetaType::Bool:
        def.type = FieldType::Boolean;
        break;
    case QMetaType::QDateTime:
    case QMetaType::QDate:
        def.type = FieldType::DateTime;
        break;
    default:
        def.type = (column.typeID() == SQL_CHAR || column.typeID() == SQL_WCHAR) ? FieldType::FixedChar
                                                                                 : FieldType::VarChar;
        break;
    }
    def.size = column.length() > 0 ? column.length() : 20;
    return def;
}

bool DbConnection::inTransaction()
{
    SQLHANDLE hdbc = isOpen() ? odbcHandle() : nullptr;
    if (!hdbc)
        return false;
    SQLULEN autocommit = SQL_AUTOCOMMIT_ON;
    if (!SQL_SUCCEEDED(SQLGetConnectAttr(hdbc, SQL_ATTR_AUTOCOMMIT, &autocommit, SQL_IS_UINTEGER, nullptr)))
        return false;
    return autocommit == SQL_AUTOCOMMIT_OFF;
}

bool DbConnection::keepsCursorsOnCommit()
{
    ensureOpen();
    if (m_keepsCursors < 0) {
        SQLUSMALLINT behaviour = SQL_CB_DELETE;
        SQLHANDLE hdbc = odbcHandle();
        if (hdbc && !SQL_SUCCEEDED(SQLGetInfo(hdbc, SQL_CURSOR_COMMIT_BEHAVIOR, &behaviour, sizeof(behaviour), nullptr)))
            behaviour = SQL_CB_DELETE;
        m_keepsCursors = behaviour == SQL_CB_PRESERVE ? 1 : 0;
    }
    return m_keepsCursors == 1;
}

// ---------------------------------------------------------------------------
// WriteTransaction

WriteTransaction::WriteTransaction(DbConnection &connection)
    : m_conn(connection)
{
    if (m_conn.inTransaction())
        return;
    if (m_conn.dialect() == Dialect::SQLite) {
        run(QStringLiteral("SAVEPOINT vox_write"));
        m_mode = Mode::Savepoint;
        return;
    }
    if (!m_conn.keepsCursorsOnCommit())
        return;
    QSqlDatabase db = m_conn.database();
    if (!db.transaction())
        throw VoxError(db.lastError().text());
    m_mode = Mode::Driver;
}

WriteTransaction::~WriteTransaction()
{
    try {
        if (m_mode == Mode::Driver) {
            m_conn.database().rollback();
        } else if (m_mode == Mode::Savepoint) {
            run(QStringLiteral("ROLLBACK TO vox_write"));
            run(QStringLiteral("RELEASE vox_write"));
        }
    } catch (...) {
        // The failure that brought us here is the one reported.
    }
}

void WriteTransaction::run(const QString &sql)
{
    QSqlQuery q = m_conn.newQuery();
    m_conn.prepare(q, sql);
    m_conn.exec(q);
}

void WriteTransaction::commit()
{
    if (m_mode == Mode::Savepoint) {
        run(QStringLiteral("RELEASE vox_write"));
    } else if (m_mode == Mode::Driver) {
        QSqlDatabase db = m_conn.database();
        if (!db.commit())
            throw VoxError(db.lastError().text());
    }
    m_mode = Mode::None;
}
