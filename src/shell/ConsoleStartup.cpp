#include "shell/ConsoleStartup.h"

#include "core/ErrorReport.h"
#include "db/AdminData.h"
#include "net/VoxLog.h"
#include "risk/SymbolFrm.h"
#include "shell/AboutBox.h"
#include "shell/LoginForm.h"
#include "shell/MainForm.h"
#include "shell/ShellResources.h"
#include "shell/SplashForm.h"

#include <QApplication>
#include <QScreen>

struct ConsoleStartup::Parts {
    TSplashFrm splash;
    TAdminData adminData;
    TAboutBox aboutBox;
    std::unique_ptr<TMainForm> mainForm;
};

ConsoleStartup::ConsoleStartup(ShellServices services)
    : m_services(std::move(services))
{
}

// The main window goes first: its children use the data module.
ConsoleStartup::~ConsoleStartup()
{
    if (m_parts)
        m_parts->mainForm.reset();
}

void ConsoleStartup::start()
{
    // Every window, dialog and message box shows the console's own icon.
    QApplication::setWindowIcon(consoleIcon());
    voxLogSetExceptionIcon();

    m_parts = std::make_unique<Parts>();

    // Painted at once, so that it shows during the slow steps below; never
    // closed: the main window covers it.
    m_parts->splash.show();
    m_parts->splash.repaint();
    QApplication::processEvents();

    // The data module: a connection failure is reported and start-up goes
    // on; the datasets connect again when they are opened.
    runReported([this] { m_parts->adminData.DataModuleCreate(); });

    // What the main window hands off: the login and the about box; the
    // service clients, the maintenance windows and the program launcher
    // are the console's own.
    ShellServices services = m_services;
    if (!services.login)
        services.login = &Tloginform::run;
    if (!services.about)
        services.about = [this] { m_parts->aboutBox.exec(); };
    m_parts->mainForm = std::make_unique<TMainForm>(std::move(services));
    TSymbolFrm::createShared();

    // Maximised; the geometry also covers desktops without a window manager.
    if (const QScreen *screen = QApplication::primaryScreen())
        m_parts->mainForm->setGeometry(screen->availableGeometry());
    m_parts->mainForm->showMaximized();
}

TMainForm &ConsoleStartup::mainForm() const
{
    return *m_parts->mainForm;
}

TAdminData &ConsoleStartup::adminData() const
{
    return m_parts->adminData;
}
