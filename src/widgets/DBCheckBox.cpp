#include "widgets/DBCheckBox.h"

#include "core/Guard.h"
#include "widgets/FieldText.h"

#include <QScopedValueRollback>

DBCheckBox::DBCheckBox(QWidget *parent)
    : QCheckBox(parent)
{
}

DBCheckBox::DBCheckBox(const QString &text, QWidget *parent)
    : QCheckBox(text, parent)
{
}

void DBCheckBox::setDataField(Dataset *dataset, const QString &fieldName)
{
    m_link.attach(this, dataset, fieldName, [this] { updateAccess(); }, [this] { refresh(); });
}

void DBCheckBox::setValueChecked(const QVariant &value)
{
    m_checked = value;
    refresh();
}

void DBCheckBox::setValueUnchecked(const QVariant &value)
{
    m_unchecked = value;
    refresh();
}

void DBCheckBox::updateAccess()
{
    // A box with a caption is announced by it; without one, by the field.
    if (text().isEmpty())
        m_link.applyAccessibleName(this);
}

void DBCheckBox::refresh()
{
    if (m_writing)
        return;
    const Field *f = m_link.field();
    setChecked(f && FieldText::sameValue(f->value(), m_checked));
}

void DBCheckBox::nextCheckState()
{
    vox::guard([&] {
        // A read-only or closed dataset leaves the box as it is.
        if (!m_link.canModify())
            return;
        const bool checking = !isChecked();
        {
            QScopedValueRollback<bool> writing(m_writing, true);
            m_link.beginEdit();
            if (Field *f = m_link.field())
                f->setValue(checking ? m_checked : m_unchecked);
        }
        setChecked(checking);
    });
}
