#pragma once

#include "shell/ShellServices.h"

#include <memory>

class TMainForm;
class TAdminData;

// The console's start-up sequence: the splash, the data module, the main
// window shown maximised (whose first show runs the operator login). main()
// runs it, and so do the tests that walk the whole console in-process.
//
// Members of `services` left empty get the console's own: the real login
// window and the about box.
class ConsoleStartup
{
public:
    explicit ConsoleStartup(ShellServices services = {});
    ~ConsoleStartup();
    ConsoleStartup(const ConsoleStartup &) = delete;
    ConsoleStartup &operator=(const ConsoleStartup &) = delete;

    // Shows the splash, makes the data module and the main window, and
    // shows the main window; the login follows from the message loop.
    void start();

    TMainForm &mainForm() const;
    TAdminData &adminData() const;

private:
    struct Parts;
    ShellServices m_services;
    std::unique_ptr<Parts> m_parts;
};
