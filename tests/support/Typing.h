#pragma once

#include <QLineEdit>
#include <QTest>

// Types text key by key. A character outside ASCII has no key of its own:
// it comes as a key event carrying just that text, as from a keyboard
// layout that has it.
inline void typeKeys(QWidget *widget, const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(widget, char(c.unicode()));
        else
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

// Replaces what an edit holds the way an operator does: into the field,
// select everything, erase it, type the new text.
inline void retype(QLineEdit *edit, const QString &text)
{
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    typeKeys(edit, text);
}
