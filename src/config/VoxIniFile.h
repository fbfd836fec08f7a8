#pragma once

#include "config/IniFile.h"

#include <QString>
#include <memory>

// Locates the suite's configuration file and returns a reader on it. Looks
// in the current directory, then in the program's directory, then in the
// system configuration directory; otherwise downloads the file from the
// configuration web server to "./voxurl.ini". Nothing is cached between
// calls. Raises what the download raises.
std::unique_ptr<IniFile> voxIniFile(const QString &fileName = {});

// The three local places voxIniFile searches, in order, for a file name.
QStringList voxIniCandidates(const QString &fileName);

// The "Windows directory" of the search: /etc on Linux. Tests point it
// elsewhere; an empty text restores the default. Returns the setting it
// replaced.
QString setSystemConfigDir(const QString &dir);
QString systemConfigDir();
