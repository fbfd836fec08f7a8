#include "db/RowExists.h"

#include "db/Field.h"
#include "db/TableView.h"

bool rowExists(DbConnection &connection, const QString &table, const QString &column, const QString &value)
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
