#pragma once

#include "widgets/DataLink.h"

#include <QComboBox>

// An editable combo box bound to a text field: the operator picks one of
// the choices or types any text; either goes to the field at once, putting
// a browsing dataset into Edit.
class DBComboBox : public QComboBox
{
    Q_OBJECT
public:
    explicit DBComboBox(QWidget *parent = nullptr);
    DBComboBox(Dataset *dataset, const QString &fieldName, QWidget *parent = nullptr);

    void setDataField(Dataset *dataset, const QString &fieldName);
    Dataset *dataset() const { return m_link.dataset(); }
    QString fieldName() const { return m_link.fieldName(); }

    // Replaces the choices; the text shown stays the field's.
    void setChoices(const QStringList &choices);

    void refresh();
    void showPopup() override;

private:
    void updateLimits();

    DataLink m_link;
};
