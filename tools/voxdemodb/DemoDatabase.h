#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <optional>
#include <stdexcept>

// Building the console's database: the schema script of an engine and the
// demo rows, on an open ODBC connection or on a new SQLite file.
namespace DemoDb {

enum class Engine { SqlServer, PostgreSql, Sqlite };

class Error : public std::runtime_error
{
public:
    explicit Error(const QString &message)
        : std::runtime_error(message.toStdString()), m_message(message)
    {
    }
    const QString &message() const noexcept { return m_message; }

private:
    QString m_message;
};

// "sqlserver", "postgresql" or "sqlite" (letter case ignored).
std::optional<Engine> engineFromName(const QString &name);

// The tables the scripts create, as the console names them.
const QStringList &tableNames();

// A table name as written on the engine: "dbo." on SQL Server, bare
// elsewhere (PostgreSQL finds schema dbo through the search path).
QString tableName(const QString &table, Engine engine);
// A column name as written on the engine: Limit is quoted where it is a
// reserved word.
QString columnName(const QString &column, Engine engine);

// The schema script of an engine, from the embedded copy or, failing that,
// from the source folder. Raises when neither can be read.
QString schemaScript(Engine engine);

// The statements of a script: a statement ends with a ";" at the end of a
// line; lines starting with "--" are comments. Empty statements are skipped.
QStringList splitStatements(const QString &script);

// Runs every statement of the script; the first failure raises with the
// statement's opening line and the database's message.
void runScript(QSqlDatabase &db, const QString &script);

// Drops those of the console's tables that exist.
void dropTables(QSqlDatabase &db, Engine engine);

// Creates the tables and fills them with the demo rows. With replace, the
// console's tables are dropped first.
void build(QSqlDatabase &db, Engine engine, bool replace);

// ODBC connection string of an SQLite database file.
QString sqliteConnectionString(const QString &file);

// Builds a new SQLite demo database in file, in write-ahead-log mode so that
// another process can write while the console reads. The file is built
// under a temporary name and moved into place when complete; an existing
// file raises unless replace is set.
void buildSqliteFile(const QString &file, bool replace);

} // namespace DemoDb
