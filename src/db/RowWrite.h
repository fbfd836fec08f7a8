#pragma once

#include "core/VoxError.h"
#include "db/FieldDef.h"
#include "db/SqlDialect.h"

#include <QStringList>
#include <QVariant>
#include <QVector>

class DbConnection;

// One column of a row being written: the value read from the database and
// the value to write.
struct RowColumn {
    FieldDef def;
    QVariant original;
    QVariant value;
};

// A write refused because the row no longer holds the values read: another
// console changed (or deleted) it in the meantime.
class RecordChangedError : public VoxError
{
public:
    RecordChangedError();
    static const char *const Message;
};

// Writes one row of a table by its key, never over another console's
// change: an update or delete touches the row only while it still holds
// every value read (or, where the server maintains a row version, the
// version read). Each write and its audit rows go in one transaction where
// the database allows.
namespace RowWrite {

// The value bound for a column: typed NULL for a missing value, 0/1 for a
// bit, and empty text (never NULL) for empty text.
QVariant bindValue(const FieldDef &def, const QVariant &value);

// The condition that matches the row only while it holds the values read:
// the key, then the row version where the server maintains one, else every
// other column read (NULL as IS NULL, fixed-width text without its padding,
// floating values within rounding). Date-times are left out: the engines
// store them at precisions a value read does not always carry back.
// Parameters are named with prefix.
QString guardCondition(Dialect dialect, const QStringList &key, const QVector<RowColumn> &columns,
                       QVariantMap &params, const QString &prefix = QStringLiteral("G_"));

// The key values of the row as the audit trail records them ("100001 / TWM / 1").
QString keyText(const QStringList &key, const QVector<RowColumn> &columns, bool original);

// Writes the columns whose value differs from the original. Nothing to
// write: nothing happens. Raises RecordChangedError when the row no longer
// holds the values read.
void update(DbConnection &connection, const QString &table, const QStringList &key,
            const QVector<RowColumn> &columns);
// Inserts the columns that have a value.
void insert(DbConnection &connection, const QString &table, const QStringList &key,
            const QVector<RowColumn> &columns);
// Deletes the row while it still holds the originals; raises
// RecordChangedError otherwise.
void remove(DbConnection &connection, const QString &table, const QStringList &key,
            const QVector<RowColumn> &columns);

} // namespace RowWrite
