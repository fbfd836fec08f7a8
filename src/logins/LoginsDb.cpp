#include "logins/LoginsDb.h"

#include "core/VoxError.h"
#include "db/DbConnection.h"
#include "db/TableView.h"

#include <QSqlError>

bool LoginsDb::rowExists(DbConnection &connection, const QString &table, const QString &column, const QString &value)
{
    Query q(QStringLiteral("exists_check"), &connection);
    q.setCatalogTable(table);
    q.setSql(QStringLiteral("select %1 from %2 where %1 = :value").arg(column, table));
    q.setParam(QStringLiteral("value"), value);
    q.open();
    bool found = false;
    for (q.first(); !q.eof() && !found; q.next())
        found = q.fieldByName(column)->asString() == value;
    q.close();
    return found;
}

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
