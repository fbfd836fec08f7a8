#pragma once

#include <QString>

// Gives a control its component name as Qt object name and returns it, so
// windows can create, name and keep a control in one line.
template <typename W>
W *named(W *w, const char *name)
{
    w->setObjectName(QString::fromLatin1(name));
    return w;
}
