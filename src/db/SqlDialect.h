#pragma once

#include <QString>
#include <QStringList>

// The database engines the console runs on. The statements are written for
// SQL Server; the few differences of the other engines are absorbed here.
enum class Dialect { SqlServer, PostgreSQL, SQLite };

// A statement with its named parameters (":name") turned into positional
// markers, and the parameter names in the order they appear.
struct ParsedSql {
    QString sql;
    QStringList params;
};

namespace SqlDialect {
// Adapts a statement to the engine: drops the owner prefix "dbo." on
// SQLite and quotes the column Limit on PostgreSQL and SQLite. Nothing
// inside string literals or quoted names is touched.
QString adapt(const QString &sql, Dialect dialect);
// Replaces every :name outside literals by "?" and lists the names.
ParsedSql parseParameters(const QString &sql);
// Quotes a column or table name for the engine where it must be.
QString identifier(const QString &name, Dialect dialect);
// The engine behind an ODBC DBMS name ("Microsoft SQL Server",
// "PostgreSQL", "SQLite").
Dialect fromDbmsName(const QString &dbmsName);
} // namespace SqlDialect
