#pragma once

#include <QApplication>

#include "widgets/QtDialogs.h"

// The application object. While it exists, messages and questions go to
// Qt's message boxes (QtDialogs) and exception reports to the "Application
// Error" window. Every exception that escapes an event handler is caught
// here once, the operation that raised it is abandoned, and the exception
// goes to the exception report; the message loop goes on.
class VoxApplication : public QApplication
{
    Q_OBJECT
public:
    VoxApplication(int &argc, char **argv);
    ~VoxApplication() override;

    bool notify(QObject *receiver, QEvent *event) override;

private:
    QtDialogs m_dialogs;
};
