#include "widgets/DataLink.h"

#include <QWidget>

void DataLink::bind(Dataset *dataset, const QString &fieldName)
{
    m_dataset = dataset;
    m_fieldName = fieldName;
}

Field *DataLink::field() const
{
    if (!isActive() || m_fieldName.isEmpty())
        return nullptr;
    return m_dataset->findField(m_fieldName);
}

bool DataLink::isField(const QString &name) const
{
    return !m_fieldName.isEmpty() && m_fieldName.compare(name, Qt::CaseInsensitive) == 0;
}

const FieldDef *DataLink::declared() const
{
    if (!m_dataset)
        return nullptr;
    for (const FieldDef &d : m_dataset->fieldDefs()) {
        if (isField(d.name))
            return &d;
    }
    return nullptr;
}

QString DataLink::label() const
{
    if (const Field *f = field())
        return f->displayLabel();
    if (const FieldDef *d = declared())
        return d->label();
    return m_fieldName;
}

int DataLink::maxLength() const
{
    const Field *f = field();
    const FieldDef *def = f ? &f->def() : declared();
    if (!def || def->size <= 0)
        return 0;
    if (def->type == FieldType::FixedChar || def->type == FieldType::VarChar)
        return def->size;
    return 0;
}

bool DataLink::canModify() const
{
    const Field *f = field();
    if (!f || m_dataset->isReadOnly())
        return false;
    return !f->def().calculated && f->def().type != FieldType::RowVersion;
}

void DataLink::beginEdit()
{
    if (isActive() && m_dataset->state() == Dataset::Browse)
        m_dataset->edit();
}

void DataLink::applyAccessibleName(QWidget *widget)
{
    const QString current = widget->accessibleName();
    if (!current.isEmpty() && current != m_defaultName)
        return;
    m_defaultName = label();
    widget->setAccessibleName(m_defaultName);
}
