#include "customers/UpperCaseEdit.h"

#include "widgets/TextCase.h"

#include <QLineEdit>

void forceUpperCase(QLineEdit *edit)
{
    QObject::connect(edit, &QLineEdit::textEdited, edit, [edit](const QString &text) {
        const QString upper = upperCase8Bit(text);
        if (upper == text)
            return;
        const int cursor = edit->cursorPosition();
        edit->setText(upper);
        edit->setCursorPosition(cursor);
    });
}
