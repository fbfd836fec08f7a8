#pragma once

#include <QDateTime>
#include <QIcon>
#include <QString>
#include <QStringList>

#include <exception>
#include <functional>

class QWidget;

// The report of one exception that reached the console's top level: where
// it was raised, its message, the call stack at the throw, the registers
// there and the console's custom page. Built on the thread that raised the
// exception (the call stack is kept per thread).
struct ExceptionReport {
    QString className;    // exception class
    QString moduleName;   // file name of the module that raised it, "UNKNOWN" if not known
    QString modulePath;
    quintptr address = 0; // address of the raising call, 0 if not known
    QString message;
    QString sourceFile;   // file name of the raising source, empty if not known
    QString unitName;     // sourceFile without its extension
    QString procedure;    // raising procedure, empty without line information
    int line = 0;         // 0 if not known
    QStringList callStack; // one frame per line, innermost first
    QStringList registers;
    QString customPageTitle;
    QStringList customInfo;

    // "Exception '...' in module ... at ...", the message, an empty line and
    // "Source file: ..., Line ...".
    QString mainText() const;
    QString addressText() const;
    // The entry appended to the exception log: a separator line with the
    // local date and time, then the main text and every page.
    QString logEntry(const QDateTime &when) const;
};

ExceptionReport buildExceptionReport(const std::exception_ptr &error);

// What the console sets at start-up.
struct ExceptionReportConfig {
    QIcon icon;
    QString customPageTitle = QStringLiteral("Info");
    std::function<void(QStringList &)> customInfo;
};
void setExceptionReportConfig(const ExceptionReportConfig &config);
ExceptionReportConfig exceptionReportConfig();

// The exception log file. It is kept in the folder of the program's
// executable; where that folder cannot be written, in the user's state
// folder ($XDG_STATE_HOME, else ~/.local/state) under "voxadmin".
inline constexpr const char *ExceptionLogFileName = "voxadmin-exceptions.log";
// The folder chosen from the executable's folder and the environment.
QString exceptionLogFolder(const QString &programFolder, const QString &stateHome,
                           const QString &home);
QString exceptionLogFilePath();
// Overrides the file (tests); an empty name restores the default.
void setExceptionLogFilePath(const QString &path);

// Appends one entry; reports of several threads are written one at a time.
// Failures are not reported.
void appendExceptionLog(const ExceptionReport &report, bool wait = true);

// What shows a report on the screen. It is called on the user-interface
// thread only (a report raised on another thread is handed over, without a
// parent). The console's application object installs the report window;
// without a viewer, reports are only written to the log.
using ExceptionReportViewer = std::function<void(const ExceptionReport &, QWidget *parent)>;
void setExceptionReportViewer(ExceptionReportViewer viewer);

// The full report for an exception at the top level: the log entry, then
// the viewer. Installed as the window of the console's exception report by
// installExceptionReport().
void showExceptionReport(const std::exception_ptr &error, QWidget *parent);
void installExceptionReport();

// Crash signals (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT) append a report
// to logPath before the program ends; so does an exception that escapes
// everything (std::terminate).
void installCrashReport(const QString &logPath);
