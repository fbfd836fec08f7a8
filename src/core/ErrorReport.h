#pragma once

#include <QString>
#include <exception>
#include <functional>

class QWidget;

// Hands an exception that reached the application's top level to the
// exception report (through the dialog interface).
void reportException(const std::exception_ptr &error);

// Runs fn; any exception it raises is reported and swallowed. Used for the
// start-up steps whose failure must not stop the rest of start-up.
// Returns false when fn raised.
bool runReported(const std::function<void()> &fn);

// The window that shows an exception report. Until a richer report is
// installed the dialog implementation shows the exception's text itself:
// showExceptionReportWindow returns false when no window is installed.
using ReportWindowFn = std::function<void(const std::exception_ptr &, QWidget *parent)>;
void setExceptionReportWindow(ReportWindowFn fn);
bool showExceptionReportWindow(const std::exception_ptr &error, QWidget *parent);

// The class name and message of any exception.
QString exceptionClassName(const std::exception_ptr &error);
QString exceptionText(const std::exception_ptr &error);
