#pragma once

#include "db/FieldDef.h"
#include "db/SqlDialect.h"

#include <QObject>
#include <QSqlDatabase>
#include <QString>

class AuditTrail;
class QSqlField;
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
    // Moves query to its next row; false at the end of the rows. A row the
    // driver fails to deliver raises its message (never reads as the end).
    bool fetch(QSqlQuery &query);
    // Runs an UPDATE or DELETE that must change exactly one row; raises
    // when it changes none. (It runs without a transaction of its own:
    // ending one would end the rows some drivers are still delivering to
    // open datasets. Rows are written by their unique key, so several rows
    // changed is a fault of the table, reported all the same.)
    void execSingleRow(QSqlQuery &query);
    // Raises the driver's message when the query's last step failed.
    void checkQuery(const QSqlQuery &query);

    // Counts the times the connection was opened: a result read under an
    // earlier count belongs to a link that is gone.
    int generation() const { return m_generation; }
    // Prepares sql (already adapted and with positional markers).
    void prepare(QSqlQuery &query, const QString &sql);
    // Adapts sql to the engine, prepares it and binds its named parameters
    // from params (names matched without regard to case; absent: null).
    void prepareNamed(QSqlQuery &query, const QString &sql, const QVariantMap &params);

    // A new query object on this connection.
    QSqlQuery newQuery();

    // Whether a transaction is open on the link (the driver is out of
    // auto-commit mode).
    bool inTransaction();
    // Whether the driver keeps open result sets across a commit, so that a
    // transaction of a few statements does not end the rows datasets are
    // still reading.
    bool keepsCursorsOnCommit();

    // The audit trail posts are recorded in; nullptr: none.
    AuditTrail *auditTrail() const { return m_audit; }
    void setAuditTrail(AuditTrail *audit) { m_audit = audit; }

    // The field a result column the console does not declare becomes, from
    // the type the driver reports (a text column is fixed-width when the
    // driver says SQL_CHAR or SQL_WCHAR; without a width it is 20 wide).
    static FieldDef describeColumn(const QSqlField &column);

    // The connection string handed to the driver: the data source as
    // configured, and the user name and password as ODBC attribute values.
    static QString connectionString(const QString &dsn, const QString &user, const QString &password);
    // A value written so that no character of it can end or start an ODBC
    // attribute: braced when it holds ";", "{", "}" or outer blanks, with a
    // closing brace doubled.
    static QString odbcValue(const QString &value);

private:
    void detectDialect();
    // After a failure: a link the driver reports dead (or that no longer
    // answers) is closed so that the next operation connects again.
    void dropIfBroken();
    bool linkIsDead();
    void *odbcHandle() const;

    QString m_dsn, m_user, m_password;
    QString m_alias = QStringLiteral("voxdata");
    Dialect m_dialect = Dialect::SqlServer;
    QString m_connectionName;
    int m_generation = 0;
    int m_keepsCursors = -1; // asked of the driver once per link
    AuditTrail *m_audit = nullptr;
};

// The statements of one write and the rows that record it, committed
// together. It starts a transaction only where one harms no reader: none
// inside a transaction already open (the outer one decides), none on a
// driver that closes open result sets at a commit. On SQLite it is a
// savepoint: the driver's own commit would end the rows open datasets are
// still reading, the engine's does not.
class WriteTransaction
{
public:
    explicit WriteTransaction(DbConnection &connection);
    ~WriteTransaction();
    WriteTransaction(const WriteTransaction &) = delete;
    WriteTransaction &operator=(const WriteTransaction &) = delete;
    // Whether this object opened a transaction of its own.
    bool isOwn() const { return m_mode != Mode::None; }
    void commit();

private:
    enum class Mode { None, Driver, Savepoint };
    void run(const QString &sql);

    DbConnection &m_conn;
    Mode m_mode = Mode::None;
};
