#pragma once

#include <QSqlDatabase>
#include <QString>

class DbConnection;

namespace LoginsDb {

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
