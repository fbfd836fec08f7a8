#include "logins/LoginsDb.h"

#include "core/VoxError.h"
#include "db/DbConnection.h"

#include <QSqlError>

LoginsDb::Transaction::Transaction(DbConnection &connection)
{
    connection.ensureOpen();
    m_db = connection.database();
    if (!m_db.transaction())
        throw VoxError(m_db.lastError().text());
}

LoginsDb::Transaction::~Transaction()
{
    if (!m_done)
        m_db.rollback();
}

void LoginsDb::Transaction::commit()
{
    if (!m_db.commit())
        throw VoxError(m_db.lastError().text());
    m_done = true;
}
