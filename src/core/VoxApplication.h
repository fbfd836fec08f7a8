#pragma once

#include <QApplication>

// The application object. Every exception that escapes an event handler is
// caught here once, the operation that raised it is abandoned, and the
// exception goes to the exception report; the message loop goes on.
class VoxApplication : public QApplication
{
    Q_OBJECT
public:
    VoxApplication(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;
};
