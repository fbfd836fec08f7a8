#include "widgets/QtDialogs.h"

#include "core/ErrorReport.h"

#include <QApplication>
#include <QDebug>
#include <QMessageBox>
#include <QThread>

namespace {
QWidget *dialogParent()
{
    return QApplication::activeModalWidget() ? QApplication::activeModalWidget()
                                             : QApplication::activeWindow();
}
} // namespace

void QtDialogs::error(const QString &text)
{
    QMessageBox::critical(dialogParent(), QApplication::applicationDisplayName(), text,
                          QMessageBox::Ok);
}

void QtDialogs::information(const QString &text)
{
    QMessageBox::information(dialogParent(), QApplication::applicationDisplayName(), text,
                             QMessageBox::Ok);
}

bool QtDialogs::confirm(const QString &text)
{
    return QMessageBox::question(dialogParent(), QApplication::applicationDisplayName(), text,
                                 QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel)
        == QMessageBox::Ok;
}

bool QtDialogs::question(const QString &text)
{
    return QMessageBox::question(dialogParent(), QApplication::applicationDisplayName(), text,
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Yes;
}

void QtDialogs::exceptionReport(const std::exception_ptr &error)
{
    // Windows are looked at on their own thread only.
    const bool uiThread = QCoreApplication::instance()
        && QThread::currentThread() == QCoreApplication::instance()->thread();
    QWidget *parent = uiThread ? dialogParent() : nullptr;
    if (showExceptionReportWindow(error, parent))
        return;
    if (uiThread)
        QMessageBox::critical(parent, QApplication::applicationDisplayName(), exceptionText(error),
                              QMessageBox::Ok);
    else
        qCritical().noquote() << exceptionText(error);
}
