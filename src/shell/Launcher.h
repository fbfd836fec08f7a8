#pragma once

#include <QString>

// Starts sibling programs of the suite the way a program launcher does:
// the file is looked up in the current directory, the program's directory
// and the PATH; the result is ignored by the callers.
namespace Launcher {

// Full path of the program, or empty when it is found nowhere.
QString findProgram(const QString &program);

// Starts the program detached; false when it cannot be started.
bool start(const QString &program);

} // namespace Launcher
