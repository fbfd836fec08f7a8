#pragma once

#include <QString>
#include <QStringList>
#include <exception>

// The process-wide line logger. Nothing is written while no log file name
// is set; the environment variable VOX_LOG names the file at start-up.
enum class voxLogKind { Error, Warning, Plain };

// Writes one line: "Error: " or "Warning: " (or nothing) and the text,
// flushed at once. Never raises.
void voxLogMsg(const QString &text, voxLogKind kind = voxLogKind::Plain);
void voxLogClose();
// Whether lines are written at all: lets callers skip building lines that
// would be discarded.
bool voxLogActive();
// Names the log file (empty: discard every line). Opens it for appending;
// a file that cannot be opened leaves the logger discarding.
void voxLogSetFileName(const QString &fileName);
QString voxLogFileName();

// Starts the diagnostics, once, before any window exists: the exception
// report with the console's icon ("EXCEPTICON") and custom page "Info",
// the crash report, and the log file named by VOX_LOG.
void voxLogSetExceptionIcon();

// Supplies the custom page of the exception report.
struct TvoxLogDummy {
    // Appends the console's three lines to lines.
    void customInfo(QStringList &lines) const;
};
extern const TvoxLogDummy voxLogDummy;

// Writes the trace of an exception caught while a service client handled
// the received message text: the full report to the exception log, then
// the exception, the message, the raising place and the call stack to the
// line log.
void dumpTrace(const std::exception_ptr &error, const QString &message);
