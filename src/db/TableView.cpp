#include "db/TableView.h"

#include "core/VoxError.h"
#include "db/DbConnection.h"
#include "db/RowWrite.h"
#include "db/Schema.h"

#include <QRegularExpression>
#include <QSqlQuery>

namespace {
void setParam(QVariantMap &map, const QString &name, const QVariant &value)
{
    for (auto it = map.begin(); it != map.end(); ++it) {
        if (it.key().compare(name, Qt::CaseInsensitive) == 0) {
            it.value() = value;
            return;
        }
    }
    map.insert(name, value);
}
} // namespace

// ---------------------------------------------------------------------------
// TableView

TableView::TableView(const QString &name, DbConnection *connection, QObject *parent)
    : Dataset(name, connection, parent)
{
}

void TableView::setTableName(const QString &table)
{
    m_table = table;
    setCatalogTable(table);
    if (m_key.isEmpty()) {
        if (const TableDef *def = Schema::table(table))
            m_key = def->key;
    }
}

QString TableView::columnList() const
{
    QStringList cols;
    for (const FieldDef &d : fieldDefs())
        cols << d.name;
    return cols.isEmpty() ? QStringLiteral("*") : cols.join(QStringLiteral(", "));
}

QString TableView::orderBy() const
{
    return m_orderBy.isEmpty() ? m_key.join(QStringLiteral(", ")) : m_orderBy;
}

QString TableView::selectSql() const
{
    QString sql = QStringLiteral("SELECT ") + columnList() + QStringLiteral(" FROM ") + m_table;
    if (!orderBy().isEmpty())
        sql += QStringLiteral(" ORDER BY ") + orderBy();
    return sql;
}

QStringList TableView::keyFields() const
{
    for (const QString &k : m_key) {
        bool held = fieldDefs().isEmpty();
        for (const FieldDef &d : fieldDefs())
            held = held || d.name.compare(k, Qt::CaseInsensitive) == 0;
        if (!held)
            return {};
    }
    return m_key;
}

bool TableView::keyOrdered() const
{
    if (keyFields().isEmpty())
        return false;
    QString order = orderBy();
    order.remove(QLatin1Char(' '));
    return order.compare(m_key.join(QLatin1Char(',')), Qt::CaseInsensitive) == 0;
}

QString TableView::windowSql(bool backwards, bool fromKey) const
{
    QString sql = QStringLiteral("SELECT ") + columnList() + QStringLiteral(" FROM ") + m_table;
    if (fromKey) {
        // (k1, k2, ...) >= (W_k1, W_k2, ...), or < backwards, spelt out for
        // engines without row-value comparison.
        const QString last = backwards ? QStringLiteral(" < ") : QStringLiteral(" >= ");
        const QString before = backwards ? QStringLiteral(" < ") : QStringLiteral(" > ");
        QString cond;
        for (int i = m_key.size() - 1; i >= 0; --i) {
            const QString k = m_key.at(i);
            const QString w = QStringLiteral(":W_") + k;
            if (cond.isEmpty())
                cond = k + last + w;
            else
                cond = QStringLiteral("(%1%2%3 OR (%1 = %3 AND %4))").arg(k, before, w, cond);
        }
        sql += QStringLiteral(" WHERE ") + cond;
    }
    QStringList order;
    for (const QString &k : m_key)
        order << k + (backwards ? QStringLiteral(" DESC") : QString());
    return sql + QStringLiteral(" ORDER BY ") + order.join(QStringLiteral(", "));
}

int TableView::countRows()
{
    QSqlQuery q = connection()->newQuery();
    connection()->prepareNamed(q, QStringLiteral("SELECT COUNT(*) FROM ") + m_table, {});
    connection()->exec(q);
    return connection()->fetch(q) ? q.value(0).toInt() : -1;
}

bool TableView::mayHold(const QStringList &fieldNames, const QVariantList &values, LocateOptions options)
{
    if (options != NoOptions || m_key.isEmpty() || fieldNames.size() != m_key.size()
        || values.size() != fieldNames.size())
        return true;
    QVariantMap params;
    QStringList terms;
    for (const QString &k : m_key) {
        const int at = fieldNames.indexOf(QRegularExpression(QStringLiteral("^%1$").arg(QRegularExpression::escape(k)),
                                                             QRegularExpression::CaseInsensitiveOption));
        if (at < 0)
            return true;
        const Field *f = findField(k);
        if (!f)
            return true;
        const QVariant v = values.at(at);
        if (!v.isValid() || v.isNull())
            return true;
        const QString p = QStringLiteral("K_") + f->name();
        terms << f->name() + QStringLiteral(" = :") + p;
        params.insert(p, bindValue(f->def(), v));
    }
    QSqlQuery q = connection()->newQuery();
    connection()->prepareNamed(q, QStringLiteral("SELECT COUNT(*) FROM ") + m_table + QStringLiteral(" WHERE ")
                                      + terms.join(QStringLiteral(" AND ")),
                               params);
    connection()->exec(q);
    return !connection()->fetch(q) || q.value(0).toInt() > 0;
}

QVector<RowColumn> TableView::rowColumns(const QVector<QVariant> &original, const QVector<QVariant> &values) const
{
    QVector<RowColumn> columns;
    for (Field *f : fields()) {
        if (f->def().calculated)
            continue;
        columns.append({f->def(), original.isEmpty() ? QVariant() : original.at(f->index()),
                        values.isEmpty() ? QVariant() : values.at(f->index())});
    }
    return columns;
}

void TableView::checkKey() const
{
    if (m_key.isEmpty())
        throw VoxError(QStringLiteral("%1: the table has no key to write by").arg(objectName()));
}

void TableView::writeUpdate(const QVector<QVariant> &original, const QVector<QVariant> &changed)
{
    checkKey();
    RowWrite::update(*connection(), m_table, m_key, rowColumns(original, changed));
}

void TableView::writeInsert(const QVector<QVariant> &values)
{
    RowWrite::insert(*connection(), m_table, m_key, rowColumns({}, values));
}

void TableView::writeDelete(const QVector<QVariant> &original)
{
    checkKey();
    RowWrite::remove(*connection(), m_table, m_key, rowColumns(original, {}));
}

// ---------------------------------------------------------------------------
// Query

Query::Query(const QString &name, DbConnection *connection, QObject *parent)
    : Dataset(name, connection, parent)
{
    setReadOnly(true);
}

void Query::setParam(const QString &name, const QVariant &value)
{
    ::setParam(m_params, name, value);
}

QVariant Query::param(const QString &name) const
{
    for (auto it = m_params.constBegin(); it != m_params.constEnd(); ++it) {
        if (it.key().compare(name, Qt::CaseInsensitive) == 0)
            return it.value();
    }
    return {};
}

QStringList Query::keyFields() const
{
    if (const TableDef *t = Schema::table(catalogTable()))
        return t->key;
    return {};
}

void Query::writeUpdate(const QVector<QVariant> &original, const QVector<QVariant> &changed)
{
    if (!m_cached)
        Dataset::writeUpdate(original, changed);
    m_pending.append({Kind::Modify, original, changed});
}

void Query::writeInsert(const QVector<QVariant> &values)
{
    if (!m_cached)
        Dataset::writeInsert(values);
    m_pending.append({Kind::Insert, {}, values});
}

void Query::writeDelete(const QVector<QVariant> &original)
{
    if (!m_cached)
        Dataset::writeDelete(original);
    m_pending.append({Kind::Delete, original, {}});
}

QVariantMap Query::paramsFor(const Pending &p) const
{
    QVariantMap params;
    for (Field *f : fields()) {
        if (f->def().calculated)
            continue;
        if (!p.values.isEmpty())
            params.insert(f->name(), bindValue(f->def(), p.values.at(f->index())));
        if (!p.original.isEmpty())
            params.insert(QStringLiteral("OLD_") + f->name(), bindValue(f->def(), p.original.at(f->index())));
    }
    return params;
}

void Query::applyUpdates()
{
    for (Pending &p : m_pending) {
        if (p.applied)
            continue;
        const QString sql = p.kind == Kind::Modify ? m_update.modifySql
            : p.kind == Kind::Insert              ? m_update.insertSql
                                                  : m_update.deleteSql;
        if (sql.isEmpty())
            throw VoxError(QStringLiteral("%1: no statement to apply the change with").arg(objectName()));
        if (p.kind == Kind::Insert)
            execWrite(sql, paramsFor(p));
        else
            execSingleRowWrite(sql, paramsFor(p));
        p.applied = true;
    }
}

void Query::commitUpdates()
{
    m_pending.erase(std::remove_if(m_pending.begin(), m_pending.end(),
                                   [](const Pending &p) { return p.applied; }),
                    m_pending.end());
}

void Query::cancelUpdates()
{
    m_pending.clear();
    if (isActive()) {
        close();
        open();
    }
}

// ---------------------------------------------------------------------------
// SqlStatement

SqlStatement::SqlStatement(const QString &name, DbConnection *connection, const QString &sql,
                           QObject *parent)
    : QObject(parent)
    , m_conn(connection)
    , m_sql(sql)
{
    setObjectName(name);
}

void SqlStatement::setParam(const QString &name, const QVariant &value)
{
    ::setParam(m_params, name, value);
}

int SqlStatement::execSql()
{
    QSqlQuery q = m_conn->newQuery();
    m_conn->prepareNamed(q, m_sql, m_params);
    m_conn->exec(q);
    return q.numRowsAffected();
}
