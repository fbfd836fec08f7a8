#pragma once

#include "widgets/DataLink.h"

#include <QCheckBox>
#include <QVariant>

// A check box bound to a boolean or integer field. It is checked when the
// field holds the "checked" value (true unless set, e.g. 9 for a
// supervisor) and clear otherwise; a click by the operator puts a browsing
// dataset into Edit and writes the checked or unchecked value.
class DBCheckBox : public QCheckBox
{
    Q_OBJECT
public:
    explicit DBCheckBox(QWidget *parent = nullptr);
    DBCheckBox(const QString &text, QWidget *parent = nullptr);

    void setDataField(Dataset *dataset, const QString &fieldName);
    Dataset *dataset() const { return m_link.dataset(); }
    QString fieldName() const { return m_link.fieldName(); }

    void setValueChecked(const QVariant &value);
    void setValueUnchecked(const QVariant &value);
    QVariant valueChecked() const { return m_checked; }
    QVariant valueUnchecked() const { return m_unchecked; }

    void refresh();

protected:
    void nextCheckState() override;

private:
    void updateAccess();

    DataLink m_link;
    QVariant m_checked = true;
    QVariant m_unchecked = false;
    bool m_writing = false;
};
