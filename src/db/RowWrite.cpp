#include "db/RowWrite.h"

#include "db/AuditTrail.h"
#include "db/DbConnection.h"
#include "db/FieldValue.h"
#include "db/Schema.h"

#include <QDateTime>
#include <QSqlQuery>
#include <cmath>

const char *const RecordChangedError::Message =
    "The record was changed by another user. It has been read again; make your change once more.";

RecordChangedError::RecordChangedError()
    : VoxError(QString::fromLatin1(Message))
{
}

namespace {
bool sameValue(const QVariant &a, const QVariant &b)
{
    const bool an = FieldValue::isNull(a);
    const bool bn = FieldValue::isNull(b);
    if (an || bn)
        return an == bn;
    return a == b;
}

const RowColumn *columnNamed(const QVector<RowColumn> &columns, const QString &name)
{
    for (const RowColumn &c : columns) {
        if (c.def.name.compare(name, Qt::CaseInsensitive) == 0)
            return &c;
    }
    return nullptr;
}

bool isKey(const QStringList &key, const QString &name)
{
    return key.contains(name, Qt::CaseInsensitive);
}

QString keyTerms(const QStringList &key, const QVector<RowColumn> &columns, QVariantMap &params,
                 const QString &prefix)
{
    QStringList terms;
    for (const QString &k : key) {
        const RowColumn *c = columnNamed(columns, k);
        if (!c)
            throw VoxError(QStringLiteral("The key column %1 was not read: the row cannot be written").arg(k));
        const QString p = prefix + c->def.name;
        terms << c->def.name + QStringLiteral(" = :") + p;
        params.insert(p, RowWrite::bindValue(c->def, c->original));
    }
    return terms.join(QStringLiteral(" AND "));
}

void execGuarded(DbConnection &connection, const QString &sql, const QVariantMap &params)
{
    QSqlQuery q = connection.newQuery();
    connection.prepareNamed(q, sql, params);
    connection.exec(q);
    const int rows = q.numRowsAffected();
    if (rows == 0)
        throw RecordChangedError();
    if (rows > 1)
        throw VoxError(QStringLiteral("The record is not unique in the database: %1 rows were changed.").arg(rows));
}

// Asked before a transaction starts: a failed look at a missing table
// would end the transaction on some engines.
void prepareAudit(DbConnection &connection)
{
    if (AuditTrail *trail = connection.auditTrail())
        trail->isAvailable();
}

void audit(DbConnection &connection, AuditTrail::Change kind, const QString &table, const QString &key,
           const QVector<AuditTrail::ColumnChange> &changes)
{
    if (AuditTrail *trail = connection.auditTrail())
        trail->recordChange(kind, table, key, changes);
}
} // namespace

QVariant RowWrite::bindValue(const FieldDef &def, const QVariant &value)
{
    if (FieldValue::isNull(value)) {
        switch (def.type) {
        case FieldType::Integer:
        case FieldType::SmallInt:
        case FieldType::Boolean:
            return QVariant(QMetaType(QMetaType::Int));
        case FieldType::Float:
            return QVariant(QMetaType(QMetaType::Double));
        case FieldType::DateTime:
            return QVariant(QMetaType(QMetaType::QDateTime));
        default:
            return QVariant(QMetaType(QMetaType::QString));
        }
    }
    switch (def.type) {
    case FieldType::Boolean:
        return value.toBool() ? 1 : 0;
    case FieldType::Integer:
    case FieldType::SmallInt:
        return value.toInt();
    case FieldType::Float:
        return value.toDouble();
    case FieldType::DateTime:
        return value.toDateTime();
    default: {
        // Empty text is stored as empty text, never as NULL.
        const QString text = value.toString();
        return text.isNull() ? QStringLiteral("") : text;
    }
    }
}

QString RowWrite::guardCondition(Dialect dialect, const QStringList &key, const QVector<RowColumn> &columns,
                                 QVariantMap &params, const QString &prefix)
{
    QStringList terms{keyTerms(key, columns, params, prefix)};
    // A version the server maintains speaks for the whole row.
    if (dialect == Dialect::SqlServer) {
        for (const RowColumn &c : columns) {
            if (c.def.type == FieldType::RowVersion && !FieldValue::isNull(c.original)) {
                const QString p = prefix + c.def.name;
                params.insert(p, c.original);
                return terms.first() + QStringLiteral(" AND ") + c.def.name + QStringLiteral(" = :") + p;
            }
        }
    }
    for (const RowColumn &c : columns) {
        const FieldDef &d = c.def;
        if (d.calculated || isKey(key, d.name) || d.type == FieldType::RowVersion || d.type == FieldType::DateTime)
            continue;
        const QString &column = d.name;
        if (FieldValue::isNull(c.original)) {
            terms << column + QStringLiteral(" IS NULL");
            continue;
        }
        const QString p = prefix + d.name;
        switch (d.type) {
        case FieldType::FixedChar:
            // Padding is not part of the value: some engines add it, the
            // console reads without it.
            terms << QStringLiteral("RTRIM(%1) = :%2").arg(column, p);
            params.insert(p, FieldValue::trimRight(c.original.toString()));
            break;
        case FieldType::Memo:
            terms << (dialect == Dialect::SqlServer ? QStringLiteral("CAST(%1 AS varchar(max)) = :%2")
                                                    : QStringLiteral("%1 = :%2"))
                         .arg(column, p);
            params.insert(p, bindValue(d, c.original));
            break;
        case FieldType::Float: {
            // A value read and written back may differ in its last digits.
            const double v = c.original.toDouble();
            terms << QStringLiteral("ABS(%1 - :%2) <= :%2_T").arg(column, p);
            params.insert(p, v);
            params.insert(p + QStringLiteral("_T"), 1e-9 * std::max(1.0, std::fabs(v)));
            break;
        }
        default:
            terms << column + QStringLiteral(" = :") + p;
            params.insert(p, bindValue(d, c.original));
            break;
        }
    }
    return terms.join(QStringLiteral(" AND "));
}

QString RowWrite::keyText(const QStringList &key, const QVector<RowColumn> &columns, bool original)
{
    QStringList parts;
    for (const QString &k : key) {
        if (const RowColumn *c = columnNamed(columns, k))
            parts << FieldValue::trimRight((original ? c->original : c->value).toString());
    }
    return parts.join(QStringLiteral(" / "));
}

void RowWrite::update(DbConnection &connection, const QString &table, const QStringList &key,
                      const QVector<RowColumn> &columns)
{
    QVariantMap params;
    QStringList sets;
    QVector<AuditTrail::ColumnChange> changes;
    for (const RowColumn &c : columns) {
        const FieldDef &d = c.def;
        if (d.calculated || d.type == FieldType::RowVersion || sameValue(c.original, c.value))
            continue;
        const QString p = QStringLiteral("V_") + d.name;
        sets << d.name + QStringLiteral(" = :") + p;
        params.insert(p, bindValue(d, c.value));
        changes.append({d.name, c.original, c.value});
    }
    if (sets.isEmpty())
        return;
    connection.ensureOpen();
    const QString where = guardCondition(connection.dialect(), key, columns, params);
    prepareAudit(connection);
    WriteTransaction transaction(connection);
    execGuarded(connection,
                QStringLiteral("UPDATE ") + table + QStringLiteral(" SET ") + sets.join(QStringLiteral(", "))
                    + QStringLiteral(" WHERE ") + where,
                params);
    audit(connection, AuditTrail::Change::Update, table, keyText(key, columns, true), changes);
    transaction.commit();
}

void RowWrite::insert(DbConnection &connection, const QString &table, const QStringList &key,
                      const QVector<RowColumn> &columns)
{
    QVariantMap params;
    QStringList cols, marks;
    QVector<AuditTrail::ColumnChange> changes;
    for (const RowColumn &c : columns) {
        const FieldDef &d = c.def;
        if (d.calculated || d.type == FieldType::RowVersion || FieldValue::isNull(c.value))
            continue;
        cols << d.name;
        marks << QStringLiteral(":V_") + d.name;
        params.insert(QStringLiteral("V_") + d.name, bindValue(d, c.value));
        changes.append({d.name, QVariant(), c.value});
    }
    prepareAudit(connection);
    WriteTransaction transaction(connection);
    QSqlQuery q = connection.newQuery();
    connection.prepareNamed(q,
                            QStringLiteral("INSERT INTO ") + table + QStringLiteral(" (") + cols.join(QStringLiteral(", "))
                                + QStringLiteral(") VALUES (") + marks.join(QStringLiteral(", ")) + QStringLiteral(")"),
                            params);
    connection.exec(q);
    audit(connection, AuditTrail::Change::Insert, table, keyText(key, columns, false), changes);
    transaction.commit();
}

void RowWrite::remove(DbConnection &connection, const QString &table, const QStringList &key,
                      const QVector<RowColumn> &columns)
{
    QVariantMap params;
    QVector<AuditTrail::ColumnChange> changes;
    for (const RowColumn &c : columns) {
        if (!c.def.calculated && c.def.type != FieldType::RowVersion && !FieldValue::isNull(c.original))
            changes.append({c.def.name, c.original, QVariant()});
    }
    connection.ensureOpen();
    const QString where = guardCondition(connection.dialect(), key, columns, params);
    prepareAudit(connection);
    WriteTransaction transaction(connection);
    execGuarded(connection, QStringLiteral("DELETE FROM ") + table + QStringLiteral(" WHERE ") + where, params);
    audit(connection, AuditTrail::Change::Delete, table, keyText(key, columns, true), changes);
    transaction.commit();
}
