#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>

class DbConnection;
class TableView;

// Test databases reached through the same ODBC path as the console:
// a fresh SQLite file per test case, and a fresh database on the private
// PostgreSQL server that ./test.sh starts (VOX_TEST_PG).
namespace TestDb {

// Creates a SQLite database in dir with the console's tables and returns
// its ODBC connection string.
QString freshSqlite(const QString &dir, const QString &fileName = QStringLiteral("vox.db"));

// Whether the PostgreSQL test server is available.
bool havePostgres();
// A new database on the PostgreSQL test server with schema dbo and the
// console's tables; returns its ODBC connection string.
QString freshPostgres();

// Runs one statement with positional parameters on a connection string.
void exec(const QString &conn, const QString &sql, const QVariantList &params = {});
// The first column of the first row, or an invalid QVariant.
QVariant scalar(const QString &conn, const QString &sql, const QVariantList &params = {});
// Every row as a list of texts (trailing blanks removed).
QList<QStringList> rows(const QString &conn, const QString &sql, const QVariantList &params = {});

// Runs a schema script (statements ending with ";" at the end of a line).
void runScript(const QString &conn, const QString &path);

// Writes a vox.ini into dir pointing at conn, with the risk-manager and
// order-server sections when the ports are given (> 0).
void writeVoxIni(const QString &dir, const QString &conn, int riskPort = 0, int svrPort = 0,
                 const QString &extra = {});

QString schemaDir();

// A console connection, opened, on a connection string.
std::unique_ptr<DbConnection> openConnection(const QString &conn);
// The user table as the windows read it: dbo.User_File in key order.
std::unique_ptr<TableView> userTable(DbConnection *db);
} // namespace TestDb

// Runs the calling test function once per database engine: use in
// initTestCase_data(); the test functions then call TestDb::freshFor().
#define VOX_DB_BACKENDS()                                                   \
    do {                                                                    \
        QTest::addColumn<QString>("backend");                               \
        QTest::newRow("sqlite") << QStringLiteral("sqlite");                 \
        QTest::newRow("postgresql") << QStringLiteral("postgresql");         \
    } while (0)

namespace TestDb {
// A fresh database of the current backend row; skips (or, under CI, fails)
// when PostgreSQL is not available. Returns the connection string.
QString freshFor(const QString &backend, const QString &dir);
}
