#pragma once

#include "db/FieldDef.h"

#include <QStringList>

// The suite's tables as the console declares them: every column with its
// type, width, required flag and display label, and the key the console
// writes by.
struct TableDef {
    QString name;       // as the catalogue knows it, e.g. "User_File"
    FieldDefs columns;
    QStringList key;    // columns a row is written by; empty: not written

    const FieldDef *column(const QString &columnName) const;
};

namespace Schema {
// The table of that name; "dbo." prefixes and letter case are ignored.
// nullptr when the console does not know the table.
const TableDef *table(const QString &name);
const QVector<TableDef> &tables();
// The named columns of a table, in the given order. Unknown names raise.
FieldDefs columns(const QString &table, const QStringList &names);
// Table name without an owner prefix.
QString bareName(const QString &name);
} // namespace Schema
