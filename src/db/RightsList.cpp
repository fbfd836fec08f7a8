#include "db/RightsList.h"

#include "db/Dataset.h"

QStringList linesOf(const QString &memo)
{
    if (memo.isEmpty())
        return {};
    QString text = memo;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QString memoOf(const QStringList &lines)
{
    QString out = QStringLiteral(""); // the empty list is the empty text, not NULL
    for (const QString &l : lines)
        out += l + QLatin1String("\r\n");
    return out;
}

bool hasLine(const QStringList &lines, const QString &name)
{
    for (const QString &l : lines) {
        if (l.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QStringList rightCatalogue(Dataset *rightList)
{
    if (!rightList->isActive())
        rightList->open();
    QStringList names;
    if (rightList->isEmpty())
        return names;
    for (rightList->first(); !rightList->eof(); rightList->next())
        names << rightList->fieldByName(QStringLiteral("ManuName"))->asString();
    return names;
}
