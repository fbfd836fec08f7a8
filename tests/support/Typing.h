#pragma once

#include <QLineEdit>
#include <QTest>

// Replaces what an edit holds the way an operator does: into the field,
// select everything, erase it, type the new text.
inline void retype(QLineEdit *edit, const QString &text)
{
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
}
