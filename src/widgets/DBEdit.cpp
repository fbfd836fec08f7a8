#include "widgets/DBEdit.h"

#include "core/Guard.h"
#include "widgets/FieldText.h"
#include "widgets/TextCase.h"

#include <QDoubleValidator>
#include <QIntValidator>

DBEdit::DBEdit(QWidget *parent)
    : QLineEdit(parent)
{
    vox::connect(this, &QLineEdit::textEdited, this, &DBEdit::onTextEdited);
    updateLimits();
}

DBEdit::DBEdit(Dataset *dataset, const QString &fieldName, QWidget *parent)
    : DBEdit(parent)
{
    setDataField(dataset, fieldName);
}

void DBEdit::setDataField(Dataset *dataset, const QString &fieldName)
{
    m_link.attach(this, dataset, fieldName, [this] { updateLimits(); }, [this] { refresh(); });
}

void DBEdit::setPasswordMode(bool on)
{
    setEchoMode(on ? QLineEdit::Password : QLineEdit::Normal);
    // The console masks with "*" whatever the platform's habit.
    setStyleSheet(on ? QStringLiteral("QLineEdit { lineedit-password-character: 42; }") : QString());
}

void DBEdit::updateLimits()
{
    setReadOnly(!m_link.canModify());
    const int limit = m_link.maxLength();
    setMaxLength(limit > 0 ? limit : 32767);

    const Field *f = m_link.field();
    const FieldType type = f ? f->def().type : FieldType::VarChar;
    const bool wantInt = type == FieldType::Integer || type == FieldType::SmallInt;
    const bool wantFloat = type == FieldType::Float;
    if (wantInt && !qobject_cast<const QIntValidator *>(validator())) {
        auto *v = new QIntValidator(this);
        if (type == FieldType::SmallInt)
            v->setRange(-32768, 32767);
        setValidator(v);
    } else if (wantFloat && !qobject_cast<const QDoubleValidator *>(validator())) {
        auto *v = new QDoubleValidator(this);
        v->setLocale(QLocale::c());
        setValidator(v);
    } else if (!wantInt && !wantFloat && validator()) {
        setValidator(nullptr);
    }
    m_link.applyAccessibleName(this);
}

void DBEdit::refresh()
{
    if (m_link.isWriting())
        return;
    const Field *f = m_link.field();
    const QString shown = f ? FieldText::format(f->def(), f->value()) : QString();
    if (shown != text())
        setText(shown);
}

void DBEdit::onTextEdited(const QString &typed)
{
    QString text = typed;
    if (m_charCase == Upper)
        text = upperCase8Bit(typed);
    else if (m_charCase == Lower)
        text = lowerCase8Bit(typed);
    if (text != typed) {
        const int pos = cursorPosition();
        setText(text);
        setCursorPosition(pos);
    }
    m_link.writeTyped(text);
}

void DBEdit::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    // Show what the field holds (a half-typed number goes back to the value).
    vox::guard([&] { refresh(); });
}
