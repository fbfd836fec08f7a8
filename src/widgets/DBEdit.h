#pragma once

#include "widgets/DataLink.h"

#include <QLineEdit>

// A line edit bound to one field of a dataset. It shows the current
// record's value; typing puts a browsing dataset into Edit and writes every
// change to the field at once, so a post started elsewhere (a navigator
// button) always sees what is on screen.
class DBEdit : public QLineEdit
{
    Q_OBJECT
public:
    enum CharCase { NormalCase, Upper, Lower };

    explicit DBEdit(QWidget *parent = nullptr);
    DBEdit(Dataset *dataset, const QString &fieldName, QWidget *parent = nullptr);

    void setDataField(Dataset *dataset, const QString &fieldName);
    Dataset *dataset() const { return m_link.dataset(); }
    QString fieldName() const { return m_link.fieldName(); }

    // Typed letters are forced to this case.
    void setCharCase(CharCase charCase) { m_charCase = charCase; }
    CharCase charCase() const { return m_charCase; }
    // Masks the text with "*".
    void setPasswordMode(bool on);
    bool isPasswordMode() const { return echoMode() == Password; }

    // Shows the field's value again.
    void refresh();

protected:
    void focusOutEvent(QFocusEvent *event) override;

private:
    void onTextEdited(const QString &typed);
    void updateLimits();

    DataLink m_link;
    CharCase m_charCase = NormalCase;
};
