#pragma once

#include <QSqlDatabase>
#include <QString>

class DbConnection;

namespace LoginsDb {

// Whether a row of table has column equal to value exactly: the database
// narrows the rows down and the comparison here decides, so a database that
// compares without regard to letter case still tells "abc" from "ABC".
bool rowExists(DbConnection &connection, const QString &table, const QString &column, const QString &value);

// One transaction on the connection; rolled back unless committed.
class Transaction
{
public:
    explicit Transaction(DbConnection &connection);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;
    void commit();

private:
    QSqlDatabase m_db;
    bool m_done = false;
};

} // namespace LoginsDb
