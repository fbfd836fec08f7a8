#pragma once

#include "db/SqlDialect.h"

#include <QObject>
#include <QSqlDatabase>
#include <QString>

class QSqlQuery;

// The console's one database connection, reached through ODBC. Datasets
// open it on demand with the parameters set here, so a database that was
// down at start-up is taken up by the next operation.
class DbConnection : public QObject
{
    Q_OBJECT
public:
    explicit DbConnection(QObject *parent = nullptr);
    ~DbConnection() override;

    // The internal connection name every dataset refers to.
    static const char *const ConnectionName;

    void setParams(const QString &dsn, const QString &user, const QString &password);
    QString dsn() const { return m_dsn; }
    // The named connection profile ("voxdata").
    QString aliasName() const { return m_alias; }
    void setAliasName(const QString &alias) { m_alias = alias; }

    // Connects; raises VoxError with the driver's message on failure.
    void open();
    void close();
    bool isOpen() const;
    // Opens the connection when it is closed.
    void ensureOpen();

    Dialect dialect() const { return m_dialect; }
    QSqlDatabase database() const;

    // Runs a prepared query; raises VoxError with the driver's message.
    // A connection found broken is closed so the next operation reconnects.
    void exec(QSqlQuery &query);
    // Prepares sql (already adapted and with positional markers).
    void prepare(QSqlQuery &query, const QString &sql);
    // Adapts sql to the engine, prepares it and binds its named parameters
    // from params (names matched without regard to case; absent: null).
    void prepareNamed(QSqlQuery &query, const QString &sql, const QVariantMap &params);

    // A new query object on this connection.
    QSqlQuery newQuery();

private:
    void detectDialect();
    void dropIfBroken(const class QSqlError &error);

    QString m_dsn, m_user, m_password;
    QString m_alias = QStringLiteral("voxdata");
    Dialect m_dialect = Dialect::SqlServer;
    QString m_connectionName;
};
