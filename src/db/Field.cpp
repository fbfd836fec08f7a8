#include "db/Dataset.h"

#include "db/FieldValue.h"

Field::Field(Dataset *dataset, int index, FieldDef def)
    : m_dataset(dataset)
    , m_index(index)
    , m_def(std::move(def))
{
}

QVariant Field::value() const
{
    return m_dataset->readValue(m_index);
}

bool Field::isNull() const
{
    const QVariant v = value();
    if (FieldValue::isNull(v))
        return true;
    return m_def.isText() && v.toString().isEmpty();
}

QString Field::asString() const
{
    const QVariant v = value();
    if (FieldValue::isNull(v))
        return {};
    if (m_def.type == FieldType::Boolean)
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    if (m_def.type == FieldType::Float)
        return QString::number(v.toDouble(), 'g', 15);
    return v.toString();
}

int Field::asInteger() const
{
    const QVariant v = value();
    return FieldValue::isNull(v) ? 0 : v.toInt();
}

double Field::asFloat() const
{
    const QVariant v = value();
    return FieldValue::isNull(v) ? 0.0 : v.toDouble();
}

bool Field::asBoolean() const
{
    const QVariant v = value();
    if (FieldValue::isNull(v))
        return false;
    if (v.typeId() == QMetaType::QString)
        return FieldValue::textIsTrue(v.toString());
    return v.toBool();
}

void Field::setValue(const QVariant &value)
{
    m_dataset->writeValue(m_index, value);
}
