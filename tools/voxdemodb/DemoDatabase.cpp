#include "DemoDatabase.h"

#include "DemoData.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

namespace DemoDb {

std::optional<Engine> engineFromName(const QString &name)
{
    const QString n = name.trimmed().toLower();
    if (n == QLatin1String("sqlserver"))
        return Engine::SqlServer;
    if (n == QLatin1String("postgresql"))
        return Engine::PostgreSql;
    if (n == QLatin1String("sqlite"))
        return Engine::Sqlite;
    return std::nullopt;
}

const QStringList &tableNames()
{
    static const QStringList names = {
        QStringLiteral("User_File"),       QStringLiteral("Group_File"),
        QStringLiteral("RightList"),       QStringLiteral("customer_file"),
        QStringLiteral("BOD_Customer_File"), QStringLiteral("customer_info"),
        QStringLiteral("DeviceAccount"),   QStringLiteral("AccountEntitle"),
        QStringLiteral("entitlementlist"), QStringLiteral("symbol_lot_size"),
        QStringLiteral("riskman_file"),    QStringLiteral("Admin_Audit"),
    };
    return names;
}

QString tableName(const QString &table, Engine engine)
{
    return engine == Engine::SqlServer ? QStringLiteral("dbo.") + table : table;
}

QString columnName(const QString &column, Engine engine)
{
    if (engine != Engine::SqlServer && column.compare(QLatin1String("Limit"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("\"Limit\"");
    return column;
}

static QString scriptFile(Engine engine)
{
    switch (engine) {
    case Engine::SqlServer:
        return QStringLiteral("sqlserver.sql");
    case Engine::PostgreSql:
        return QStringLiteral("postgresql.sql");
    case Engine::Sqlite:
        break;
    }
    return QStringLiteral("sqlite.sql");
}

QString schemaScript(Engine engine)
{
    const QString name = scriptFile(engine);
    for (const QString &path : {QStringLiteral(":/voxschema/") + name,
                                QStringLiteral(VOX_SCHEMA_DIR "/") + name}) {
        QFile f(path);
        if (f.open(QIODevice::ReadOnly))
            return QString::fromLatin1(f.readAll());
    }
    throw Error(QStringLiteral("Cannot read the schema script %1").arg(name));
}

QStringList splitStatements(const QString &script)
{
    QStringList statements;
    QString current;
    auto finish = [&] {
        const QString s = current.trimmed();
        if (!s.isEmpty())
            statements << s;
        current.clear();
    };
    const QStringList lines = QString(script).remove(QLatin1Char('\r')).split(QLatin1Char('\n'));
    for (const QString &raw : lines) {
        const QString line = raw.trimmed();
        if (line.startsWith(QLatin1String("--")))
            continue;
        if (line.endsWith(QLatin1Char(';'))) {
            current += line.chopped(1) + QLatin1Char('\n');
            finish();
        } else {
            current += raw + QLatin1Char('\n');
        }
    }
    finish();
    return statements;
}

void runScript(QSqlDatabase &db, const QString &script)
{
    for (const QString &statement : splitStatements(script)) {
        QSqlQuery q(db);
        if (!q.exec(statement))
            throw Error(QStringLiteral("%1\n%2").arg(statement.section(QLatin1Char('\n'), 0, 0),
                                                     q.lastError().text()));
    }
}

void dropTables(QSqlDatabase &db, Engine engine)
{
    for (const QString &table : tableNames()) {
        QSqlQuery q(db);
        const QString sql = QStringLiteral("DROP TABLE IF EXISTS %1").arg(tableName(table, engine));
        if (!q.exec(sql))
            throw Error(QStringLiteral("%1\n%2").arg(sql, q.lastError().text()));
    }
}

void build(QSqlDatabase &db, Engine engine, bool replace)
{
    if (replace)
        dropTables(db, engine);
    runScript(db, schemaScript(engine));
    // The rows go in as one transaction: quicker on SQLite, and a failure
    // leaves empty tables rather than half a demo.
    const bool transaction = db.transaction();
    try {
        insertDemoData(db, engine);
    } catch (...) {
        if (transaction)
            db.rollback();
        throw;
    }
    if (transaction && !db.commit())
        throw Error(QStringLiteral("Cannot commit the demo rows: %1").arg(db.lastError().text()));
}

QString sqliteConnectionString(const QString &file)
{
    return QStringLiteral("DRIVER={SQLite3};Database=%1;Timeout=5000;StepAPI=1").arg(file);
}

static void removeDatabaseFiles(const QString &file)
{
    for (const QString &suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm"),
                                  QStringLiteral("-journal")})
        QFile::remove(file + suffix);
}

void buildSqliteFile(const QString &file, bool replace)
{
    if (QFileInfo::exists(file) && !replace)
        throw Error(QStringLiteral("%1 already exists").arg(file));
    const QString building = file + QStringLiteral(".building");
    removeDatabaseFiles(building);

    const QString connection = QStringLiteral("voxdemodb-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    try {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), connection);
        db.setDatabaseName(sqliteConnectionString(building));
        if (!db.open())
            throw Error(QStringLiteral("Cannot create %1: %2").arg(building, db.lastError().text()));
        {
            // Write-ahead log: the risk manager writes while the console reads.
            QSqlQuery wal(db);
            if (!wal.exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !wal.next()
                || wal.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0)
                throw Error(QStringLiteral("Cannot switch %1 to write-ahead logging: %2")
                                .arg(building, wal.lastError().text()));
        }
        build(db, Engine::Sqlite, false);
        db.close();
    } catch (...) {
        QSqlDatabase::removeDatabase(connection);
        removeDatabaseFiles(building);
        throw;
    }
    QSqlDatabase::removeDatabase(connection);

    if (replace)
        removeDatabaseFiles(file);
    if (!QFile::rename(building, file)) {
        removeDatabaseFiles(building);
        throw Error(QStringLiteral("Cannot move the new database to %1").arg(file));
    }
}

} // namespace DemoDb
