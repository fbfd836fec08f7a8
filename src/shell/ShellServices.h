#pragma once

#include "shell/ChildWindows.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QWidget;

// What the main window hands off to the rest of the console. main() fills
// it once and passes it to the main window's constructor; tests pass their
// own stand-ins the same way, so nothing process-wide is replaced. An
// empty member keeps the console's own behaviour, as noted at each one.
struct ShellServices {
    // The administrator login: the operator rights list, or nothing when
    // the operator cancelled. Empty: no login runs and no action is enabled.
    using LoginFn = std::function<std::optional<QStringList>(QWidget *parent)>;
    LoginFn login;
    // What the "&About..." action shows. Empty: nothing.
    std::function<void()> about;
    // What the window runs while it is made. Empty: the two service
    // clients are created from the configuration.
    std::function<void()> formCreate;
    // Makes the maintenance window of a kind. Empty: the real windows.
    ChildWindowFactory createWindow;
    // Starts a sibling program of the suite. Empty: Launcher::start.
    std::function<bool(const QString &program)> startProgram;
};
