#pragma once

#include <QString>
#include <exception>

// The process-wide line logger. Nothing is written while no log file name
// is set; the environment variable VOX_LOG names the file at start-up.
enum class voxLogKind { Error, Warning, Plain };

// Writes one line: "Error: " or "Warning: " (or nothing) and the text,
// flushed at once. Never raises.
void voxLogMsg(const QString &text, voxLogKind kind = voxLogKind::Plain);
void voxLogClose();
// Names the log file (empty: discard every line). Opens it for appending.
void voxLogSetFileName(const QString &fileName);
QString voxLogFileName();

// Writes the trace of an exception caught while a service client handled
// the received message text.
void dumpTrace(const std::exception_ptr &error, const QString &message);
