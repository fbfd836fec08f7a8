#include "db/RiskRows.h"

#include "db/DbConnection.h"
#include "db/SqlDialect.h"

#include <QSet>
#include <QSqlQuery>

namespace {
QString trimmedRight(const QString &text)
{
    qsizetype n = text.size();
    while (n > 0 && text.at(n - 1) == QLatin1Char(' '))
        --n;
    return text.left(n);
}
} // namespace

RiskRowReader::RiskRowReader(DbConnection *db)
    : m_db(db)
{
}

QList<RiskRow> RiskRowReader::rowsOf(const QStringList &receiverIds) const
{
    QStringList ids;
    QSet<QString> seen;
    for (const QString &id : receiverIds) {
        if (!seen.contains(id)) {
            seen.insert(id);
            ids << id;
        }
    }
    QList<RiskRow> rows;
    for (qsizetype start = 0; start < ids.size(); start += BatchSize) {
        const qsizetype count = qMin<qsizetype>(BatchSize, ids.size() - start);
        QString markers;
        markers.reserve(count * 2);
        for (qsizetype i = 0; i < count; ++i)
            markers += i == 0 ? QStringLiteral("?") : QStringLiteral(",?");
        const QString sql = SqlDialect::adapt(
            QStringLiteral("select targetsystem, receivertype, receiverid, attribute, value "
                           "from riskman_file where receiverid in (")
                + markers + QLatin1Char(')'),
            m_db->dialect());
        QSqlQuery query = m_db->newQuery();
        query.setForwardOnly(true);
        m_db->prepare(query, sql);
        for (qsizetype i = 0; i < count; ++i)
            query.addBindValue(ids.at(start + i));
        m_db->exec(query);
        while (m_db->fetch(query)) {
            rows.append({trimmedRight(query.value(0).toString()), trimmedRight(query.value(1).toString()),
                         trimmedRight(query.value(2).toString()), trimmedRight(query.value(3).toString()),
                         trimmedRight(query.value(4).toString())});
        }
    }
    return rows;
}
