#include "widgets/DataLink.h"

#include "core/Guard.h"
#include "widgets/FieldText.h"

#include <QScopedValueRollback>
#include <QWidget>

void DataLink::bind(Dataset *dataset, const QString &fieldName)
{
    m_dataset = dataset;
    m_fieldName = fieldName;
}

void DataLink::attach(QWidget *control, Dataset *dataset, const QString &fieldName,
                      const std::function<void()> &onAccess, const std::function<void()> &onRecord)
{
    for (const auto &c : std::as_const(m_connections))
        QObject::disconnect(c);
    m_connections.clear();
    bind(dataset, fieldName);
    m_onRecord = onRecord;
    if (dataset) {
        auto both = [onAccess, onRecord] {
            onAccess();
            onRecord();
        };
        m_connections << vox::connect(dataset, &Dataset::opened, control, both)
                      << vox::connect(dataset, &Dataset::closed, control, both)
                      << vox::connect(dataset, &Dataset::stateChanged, control, onAccess)
                      << vox::connect(dataset, &Dataset::recordChanged, control, onRecord)
                      << vox::connect(dataset, &Dataset::currentChanged, control, onRecord)
                      << vox::connect(dataset, &Dataset::focusFieldRequested, control,
                                      [this, control](const QString &name) {
                                          if (isField(name))
                                              control->setFocus(Qt::OtherFocusReason);
                                      });
    }
    onAccess();
    onRecord();
}

bool DataLink::writeText(const QString &text)
{
    if (!canModify())
        return false;
    beginEdit();
    Field *f = field();
    QVariant value;
    if (f && FieldText::parse(f->def(), text, value))
        f->setValue(value);
    return true;
}

void DataLink::writeTyped(const QString &text)
{
    bool written = false;
    try {
        QScopedValueRollback<bool> writing(m_writing, true);
        written = writeText(text);
    } catch (...) {
        if (m_onRecord)
            m_onRecord();
        throw;
    }
    if (!written && m_onRecord)
        m_onRecord(); // cannot be changed: show the field's value again
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
