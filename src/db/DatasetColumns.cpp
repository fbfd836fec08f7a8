// Fields from the result's columns, values converted from what the driver
// returns and to what it binds, and calculated fields.
#include "db/Dataset.h"

#include "core/VoxError.h"
#include "db/DbConnection.h"
#include "db/FieldValue.h"
#include "db/RowWrite.h"
#include "db/Schema.h"

#include <QDateTime>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

void Dataset::buildFields(const QSqlRecord &record)
{
    qDeleteAll(m_fields);
    m_fields.clear();
    const TableDef *catalog = Schema::table(m_catalogTable);

    FieldDefs defs = m_declared;
    if (defs.isEmpty()) {
        for (int i = 0; i < record.count(); ++i) {
            const QSqlField f = record.field(i);
            const FieldDef *known = catalog ? catalog->column(f.name()) : nullptr;
            if (known) {
                defs.append(*known);
                continue;
            }
            defs.append(DbConnection::describeColumn(f));
        }
    }
    for (const FieldDef &d : std::as_const(m_calculated))
        defs.append(d);
    for (int i = 0; i < defs.size(); ++i)
        m_fields.append(new Field(this, i, defs.at(i)));

    m_resultToField.fill(-1, record.count());
    for (int c = 0; c < record.count(); ++c) {
        const QString colName = record.fieldName(c);
        for (Field *f : std::as_const(m_fields)) {
            if (!f->def().calculated && f->name().compare(colName, Qt::CaseInsensitive) == 0) {
                m_resultToField[c] = f->index();
                break;
            }
        }
    }
    // A declared field the statement does not return is a fault of the
    // database, reported in its own words.
    for (Field *f : std::as_const(m_fields)) {
        if (f->def().calculated)
            continue;
        if (!m_resultToField.contains(f->index()))
            throw VoxError(QStringLiteral("%1: Field '%2' not found").arg(m_name, f->name()));
    }
}

Dataset::Row Dataset::convertRow(const QSqlQuery &query)
{
    Row row;
    row.values.resize(m_fields.size());
    for (int c = 0; c < m_resultToField.size(); ++c) {
        const int fi = m_resultToField.at(c);
        if (fi < 0)
            continue;
        QVariant v = query.value(c);
        if (FieldValue::isNull(v)) {
            row.values[fi] = QVariant();
            continue;
        }
        const FieldDef &def = m_fields.at(fi)->def();
        switch (def.type) {
        case FieldType::FixedChar:
            v = FieldValue::trimRight(v.toString());
            break;
        case FieldType::VarChar:
        case FieldType::Memo:
            v = v.toString();
            break;
        case FieldType::Integer:
        case FieldType::SmallInt:
            v = v.toInt();
            break;
        case FieldType::Float:
            v = v.toDouble();
            break;
        case FieldType::Boolean:
            v = v.typeId() == QMetaType::QString ? FieldValue::textIsTrue(v.toString()) : v.toInt() != 0;
            break;
        case FieldType::DateTime:
            if (v.typeId() != QMetaType::QDateTime)
                v = v.toDateTime();
            break;
        case FieldType::RowVersion:
            break;
        }
        row.values[fi] = v;
    }
    calcRow(row);
    return row;
}

void Dataset::calcRow(Row &row)
{
    if (!onCalcFields || m_calculated.isEmpty())
        return;
    const Row *savedRow = m_calcRow;
    Row *savedWritable = m_calcWritable;
    m_calcRow = &row;
    m_calcWritable = &row;
    try {
        onCalcFields(*this);
    } catch (...) {
        m_calcRow = savedRow;
        m_calcWritable = savedWritable;
        throw;
    }
    m_calcRow = savedRow;
    m_calcWritable = savedWritable;
}

QVariant Dataset::bindValue(const FieldDef &def, const QVariant &value) const
{
    return RowWrite::bindValue(def, value);
}
