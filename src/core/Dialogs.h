#pragma once

#include <QString>
#include <exception>

class QWidget;

// The one place through which every modal message, question and exception
// report reaches the operator. The console uses QtDialogs (installed as the
// default by its application object); tests install a scripted fake that
// records what was asked and answers as told.
//
// Without an application object that installs a default, messages and
// reports go to the standard error output and questions are answered No.
class Dialogs
{
public:
    virtual ~Dialogs();

    // Plain modal message with the error icon and an OK button.
    virtual void error(const QString &text) = 0;
    // Information message with an OK button.
    virtual void information(const QString &text) = 0;
    // OK / Cancel confirmation; true when the operator chose OK.
    virtual bool confirm(const QString &text) = 0;
    // Yes / No question; true when the operator chose Yes.
    virtual bool question(const QString &text) = 0;
    // The exception report for an exception that reached the top level.
    virtual void exceptionReport(const std::exception_ptr &error) = 0;

    static Dialogs &instance();
    // Replaces the process-wide instance; the caller keeps ownership.
    // Passing nullptr restores the default.
    static void setInstance(Dialogs *dialogs);
    // The default instance (nullptr: the standard-error fallback); the
    // caller keeps ownership.
    static void setDefaultInstance(Dialogs *dialogs);
};
