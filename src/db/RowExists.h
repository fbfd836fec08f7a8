#pragma once

#include <QString>

class DbConnection;

// Whether a row of table has column equal to value exactly: the database
// narrows the rows down and the comparison here decides, so a database that
// compares without regard to letter case still tells "abc" from "ABC".
bool rowExists(DbConnection &connection, const QString &table, const QString &column, const QString &value);
