#include "widgets/DBComboBox.h"

#include "widgets/FieldText.h"

#include <QLineEdit>
#include <QScopedValueRollback>

DBComboBox::DBComboBox(QWidget *parent)
    : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(NoInsert);
    connect(lineEdit(), &QLineEdit::textEdited, this, &DBComboBox::writeText);
    connect(this, &QComboBox::activated, this, [this](int index) { writeText(itemText(index)); });
    // Adding the first choice makes it current; the field's text wins.
    auto keepText = [this] { refresh(); };
    connect(model(), &QAbstractItemModel::rowsInserted, this, keepText);
    connect(model(), &QAbstractItemModel::rowsRemoved, this, keepText);
    connect(model(), &QAbstractItemModel::modelReset, this, keepText);
    updateLimits();
}

DBComboBox::DBComboBox(Dataset *dataset, const QString &fieldName, QWidget *parent)
    : DBComboBox(parent)
{
    setDataField(dataset, fieldName);
}

void DBComboBox::setDataField(Dataset *dataset, const QString &fieldName)
{
    m_link.attach(this, dataset, fieldName, [this] { updateLimits(); }, [this] { refresh(); });
}

void DBComboBox::setChoices(const QStringList &choices)
{
    clear();
    addItems(choices);
    refresh();
}

void DBComboBox::updateLimits()
{
    lineEdit()->setReadOnly(!m_link.canModify());
    const int limit = m_link.maxLength();
    lineEdit()->setMaxLength(limit > 0 ? limit : 32767);
    m_link.applyAccessibleName(this);
}

void DBComboBox::refresh()
{
    if (m_writing)
        return;
    const Field *f = m_link.field();
    const QString shown = f ? FieldText::format(f->def(), f->value()) : QString();
    if (shown == currentText())
        return;
    const int i = findText(shown, Qt::MatchExactly | Qt::MatchCaseSensitive);
    setCurrentIndex(i);
    if (i < 0)
        setEditText(shown);
}

void DBComboBox::showPopup()
{
    if (m_link.canModify())
        QComboBox::showPopup();
}

void DBComboBox::writeText(const QString &text)
{
    bool written = false;
    {
        QScopedValueRollback<bool> guard(m_writing, true);
        try {
            written = m_link.writeText(text);
        } catch (...) {
            m_writing = false;
            refresh();
            throw;
        }
    }
    if (!written)
        refresh(); // read-only: show the field's value again
}
