#include "support/TestDb.h"

#include "db/DbConnection.h"
#include "db/Schema.h"
#include "db/SqlDialect.h"
#include "db/TableView.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>
#include <QUuid>
#include <stdexcept>

namespace {
QAtomicInt g_serial;

// A short-lived raw connection for the test's own reads and writes.
class Raw
{
public:
    explicit Raw(const QString &conn)
        : dialect(SqlDialect::fromDbmsName(conn))
        , m_name(QStringLiteral("testdb-%1").arg(g_serial.fetchAndAddRelaxed(1)))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), m_name);
        db.setDatabaseName(conn);
        if (!db.open())
            throw std::runtime_error(("cannot open test database: " + db.lastError().text()).toStdString());
    }
    ~Raw()
    {
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }
    QSqlDatabase db() const { return QSqlDatabase::database(m_name, false); }
    // The test's own statements are written as the console writes them.
    QString adapt(const QString &sql) const { return SqlDialect::adapt(sql, dialect); }
    Dialect dialect;

private:
    QString m_name;
};

void run(QSqlQuery &q, const QString &sql, const QVariantList &params)
{
    if (!q.prepare(sql))
        throw std::runtime_error(("prepare failed: " + q.lastError().text() + "\n" + sql).toStdString());
    for (int i = 0; i < params.size(); ++i)
        q.bindValue(i, params.at(i).isValid() ? params.at(i) : QVariant(QMetaType(QMetaType::QString)));
    if (!q.exec())
        throw std::runtime_error(("exec failed: " + q.lastError().text() + "\n" + sql).toStdString());
}

QStringList statements(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw std::runtime_error(("cannot read " + path).toStdString());
    QStringList out;
    QString current;
    for (const QString &line : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'))) {
        const QString t = line.trimmed();
        if (t.startsWith(QLatin1String("--")))
            continue;
        current += line + QLatin1Char('\n');
        if (t.endsWith(QLatin1Char(';'))) {
            current = current.trimmed();
            current.chop(1);
            if (!current.trimmed().isEmpty())
                out << current;
            current.clear();
        }
    }
    if (!current.trimmed().isEmpty())
        out << current.trimmed();
    return out;
}
} // namespace

QString TestDb::schemaDir()
{
    return QStringLiteral(VOX_SCHEMA_DIR);
}

void TestDb::exec(const QString &conn, const QString &sql, const QVariantList &params)
{
    Raw raw(conn);
    QSqlQuery q(raw.db());
    run(q, raw.adapt(sql), params);
}

QVariant TestDb::scalar(const QString &conn, const QString &sql, const QVariantList &params)
{
    Raw raw(conn);
    QSqlQuery q(raw.db());
    run(q, raw.adapt(sql), params);
    return q.next() ? q.value(0) : QVariant();
}

QList<QStringList> TestDb::rows(const QString &conn, const QString &sql, const QVariantList &params)
{
    Raw raw(conn);
    QSqlQuery q(raw.db());
    run(q, raw.adapt(sql), params);
    QList<QStringList> out;
    static const QRegularExpression trailing(QStringLiteral(" +$"));
    while (q.next()) {
        QStringList row;
        for (int i = 0; i < q.record().count(); ++i)
            row << q.value(i).toString().remove(trailing);
        out << row;
    }
    return out;
}

void TestDb::runScript(const QString &conn, const QString &path)
{
    Raw raw(conn);
    for (const QString &stmt : statements(path)) {
        QSqlQuery q(raw.db());
        if (!q.exec(stmt))
            throw std::runtime_error(("script statement failed: " + q.lastError().text() + "\n" + stmt).toStdString());
    }
}

QString TestDb::freshSqlite(const QString &dir, const QString &fileName)
{
    const QString path = QDir(dir).filePath(fileName);
    QFile::remove(path);
    const QString conn = QStringLiteral("DRIVER={SQLite3};Database=%1;Timeout=5000;StepAPI=1").arg(path);
    runScript(conn, QDir(schemaDir()).filePath(QStringLiteral("sqlite.sql")));
    return conn;
}

bool TestDb::havePostgres()
{
    return !qEnvironmentVariable("VOX_TEST_PG").isEmpty();
}

QString TestDb::freshPostgres()
{
    const QString base = qEnvironmentVariable("VOX_TEST_PG");
    if (base.isEmpty())
        throw std::runtime_error("VOX_TEST_PG is not set");
    const QString name = QStringLiteral("t_") + QUuid::createUuid().toString(QUuid::Id128).left(16);
    exec(base, QStringLiteral("CREATE DATABASE ") + name);
    QString conn = base;
    conn.replace(QRegularExpression(QStringLiteral("DATABASE=[^;]*")), QStringLiteral("DATABASE=") + name);
    exec(conn, QStringLiteral("CREATE SCHEMA dbo"));
    exec(conn, QStringLiteral("ALTER DATABASE %1 SET search_path = dbo, public").arg(name));
    runScript(conn, QDir(schemaDir()).filePath(QStringLiteral("postgresql.sql")));
    return conn;
}

QString TestDb::freshFor(const QString &backend, const QString &dir)
{
    if (backend == QLatin1String("postgresql")) {
        if (!havePostgres()) {
            if (qEnvironmentVariableIsSet("CI"))
                throw std::runtime_error("PostgreSQL test server missing under CI");
            return {};
        }
        return freshPostgres();
    }
    return freshSqlite(dir);
}

void TestDb::writeVoxIni(const QString &dir, const QString &conn, int riskPort, int svrPort,
                         const QString &extra)
{
    QFile f(QDir(dir).filePath(QStringLiteral("vox.ini")));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error("cannot write vox.ini");
    QString text = QStringLiteral("[VOX_DATABASE]\r\nDSN_source=%1\r\nDSN_user=\r\nDSN_password=\r\n").arg(conn);
    if (riskPort > 0)
        text += QStringLiteral("[VOX_RISKMAN]\r\nhost=127.0.0.1\r\nport=%1\r\n").arg(riskPort);
    if (svrPort > 0)
        text += QStringLiteral("[VOX_SVR]\r\nhost=127.0.0.1\r\nport=%1\r\n").arg(svrPort);
    text += extra;
    f.write(text.toLatin1());
}

std::unique_ptr<DbConnection> TestDb::openConnection(const QString &conn)
{
    auto db = std::make_unique<DbConnection>();
    db->setParams(conn, {}, {});
    db->open();
    return db;
}

std::unique_ptr<TableView> TestDb::userTable(DbConnection *db)
{
    auto t = std::make_unique<TableView>(QStringLiteral("User_File"), db);
    t->setTableName(QStringLiteral("dbo.User_File"));
    t->setOrderBy(QStringLiteral("User_No"));
    t->setFieldDefs(Schema::table(QStringLiteral("User_File"))->columns);
    return t;
}
