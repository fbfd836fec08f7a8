#pragma once

#include "core/Dialogs.h"

// The dialog interface on Qt's message boxes, parented to the active modal
// window or else the active window. Exception reports go to the installed
// report window, else to a plain error message with the exception's text.
class QtDialogs : public Dialogs
{
public:
    void error(const QString &text) override;
    void information(const QString &text) override;
    bool confirm(const QString &text) override;
    bool question(const QString &text) override;
    void exceptionReport(const std::exception_ptr &error) override;
};
