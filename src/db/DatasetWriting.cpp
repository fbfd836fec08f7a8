// Writing a posted record to the database.
#include "db/Dataset.h"

#include "core/VoxError.h"
#include "db/DbConnection.h"

#include <QSqlQuery>

void Dataset::writeUpdate(const QVector<QVariant> &, const QVector<QVariant> &)
{
    throw VoxError(QStringLiteral("Cannot modify a read-only dataset"));
}

void Dataset::writeInsert(const QVector<QVariant> &)
{
    throw VoxError(QStringLiteral("Cannot modify a read-only dataset"));
}

void Dataset::writeDelete(const QVector<QVariant> &)
{
    throw VoxError(QStringLiteral("Cannot modify a read-only dataset"));
}

void Dataset::execWrite(const QString &sql, const QVariantMap &params)
{
    QSqlQuery q = m_conn->newQuery();
    m_conn->prepareNamed(q, sql, params);
    m_conn->exec(q);
}

void Dataset::execSingleRowWrite(const QString &sql, const QVariantMap &params)
{
    QSqlQuery q = m_conn->newQuery();
    m_conn->prepareNamed(q, sql, params);
    m_conn->execSingleRow(q);
}
