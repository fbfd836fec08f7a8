#pragma once

#include <QString>
#include <QStringList>

// Rights lists and member lists as the user and group tables store them.

// The lines of a rights list (or member list) memo: one entry per line,
// lines ended by CR LF; the empty text is the empty list.
QStringList linesOf(const QString &memo);
// The memo text of a list: each entry followed by CR LF.
QString memoOf(const QStringList &lines);
// Whether the list holds a line equal to name, letter case ignored.
bool hasLine(const QStringList &lines, const QString &name);

class Dataset;
// Every ManuName of the right catalogue, first to last; opens it if needed.
QStringList rightCatalogue(Dataset *rightList);
