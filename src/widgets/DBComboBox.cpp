#include "widgets/DBComboBox.h"

#include "core/Guard.h"
#include "widgets/FieldText.h"

#include <QLineEdit>

DBComboBox::DBComboBox(QWidget *parent)
    : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(NoInsert);
    vox::connect(lineEdit(), &QLineEdit::textEdited, this, [this](const QString &text) { m_link.writeTyped(text); });
    vox::connect(this, &QComboBox::activated, this, [this](int index) { m_link.writeTyped(itemText(index)); });
    // Adding the first choice makes it current; the field's text wins.
    auto keepText = [this] { refresh(); };
    vox::connect(model(), &QAbstractItemModel::rowsInserted, this, keepText);
    vox::connect(model(), &QAbstractItemModel::rowsRemoved, this, keepText);
    vox::connect(model(), &QAbstractItemModel::modelReset, this, keepText);
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
    if (m_link.isWriting())
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
    vox::guard([&] {
        if (m_link.canModify())
            QComboBox::showPopup();
    });
}
