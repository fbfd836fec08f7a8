#pragma once

#include "net/ExceptionReport.h"

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

// The modal "Application Error" window. It opens with the main text and the
// buttons "OK" and "Details >>"; "Details >>" enlarges it to show the pages
// "Call Stack", "Registers" and the custom page, and shrinks it again.
// There is deliberately no button that ends the program.
class ExceptionReportWindow : public QDialog
{
    Q_OBJECT
public:
    explicit ExceptionReportWindow(const ExceptionReport &report, QWidget *parent = nullptr);

    bool detailsShown() const;

    // Shows reports modally one after another: a report raised while one is
    // on the screen waits for it instead of opening on top of it. Called on
    // the user-interface thread; installed as the exception report viewer by
    // the console's application object.
    static void showQueued(const ExceptionReport &report, QWidget *parent);

public slots:
    void DetailsBtnClick();

private:
    QPlainTextEdit *makePage(const char *name, const QStringList &lines);

    QLabel *m_icon = nullptr;
    QLabel *m_message = nullptr;
    QPushButton *m_ok = nullptr;
    QPushButton *m_details = nullptr;
    QTabWidget *m_pages = nullptr;
};
