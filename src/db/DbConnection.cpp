#include "db/DbConnection.h"

#include "core/VoxError.h"

#include <QSqlDriver>
#include <QSqlError>
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

void DbConnection::open()
{
    if (isOpen())
        return;
    if (m_dsn.trimmed().isEmpty()) {
        // With an empty name unixODBC may "connect" and leave a stray file
        // named "DSN=" behind: never hand it one.
        throw VoxError(QStringLiteral("Database connection problem. Please check setting!"));
    }
    QSqlDatabase db = QSqlDatabase::contains(m_connectionName)
        ? QSqlDatabase::database(m_connectionName, false)
        : QSqlDatabase::addDatabase(QStringLiteral("QODBC"), m_connectionName);
    if (!db.isValid())
        throw VoxError(QStringLiteral("The ODBC database driver is not available."));
    db.setDatabaseName(m_dsn);
    db.setUserName(m_user);
    db.setPassword(m_password);
    db.setConnectOptions(QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=10"));
    if (!db.open()) {
        const QString text = db.lastError().text();
        throw VoxError(text.isEmpty() ? QStringLiteral("Cannot connect to the database.") : text);
    }
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

void DbConnection::detectDialect()
{
    QString dbms;
    const QVariant handle = database().driver()->handle();
    if (handle.isValid() && qstrcmp(handle.typeName(), "SQLHANDLE") == 0) {
        SQLHANDLE hdbc = *static_cast<const SQLHANDLE *>(handle.data());
        if (hdbc) {
            SQLCHAR name[256] = {0};
            SQLSMALLINT len = 0;
            if (SQL_SUCCEEDED(SQLGetInfo(hdbc, SQL_DBMS_NAME, name, sizeof(name), &len)))
                dbms = QString::fromLatin1(reinterpret_cast<const char *>(name));
        }
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
        dropIfBroken(err);
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
        dropIfBroken(err);
        throw VoxError(err.text().isEmpty() ? QStringLiteral("The database refused the statement.")
                                            : err.text());
    }
}

void DbConnection::dropIfBroken(const QSqlError &error)
{
    // SQLSTATE class 08 is a connection exception; the next operation then
    // connects again instead of failing on a dead link forever.
    const QString code = error.nativeErrorCode();
    const QString text = error.text();
    if (code.startsWith(QLatin1String("08")) || code.contains(QLatin1String(";08"))
        || text.contains(QLatin1String("server closed the connection"), Qt::CaseInsensitive)
        || text.contains(QLatin1String("no connection to the server"), Qt::CaseInsensitive)
        || text.contains(QLatin1String("Could not send Query"), Qt::CaseInsensitive)) {
        close();
    }
}
