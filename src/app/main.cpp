#include "core/ErrorReport.h"
#include "db/AdminData.h"
#include "risk/SymbolFrm.h"
#include "net/VoxLog.h"
#include "shell/AboutBox.h"
#include "shell/LoginForm.h"
#include "shell/MainForm.h"
#include "shell/ShellResources.h"
#include "shell/SplashForm.h"
#include "widgets/VoxApplication.h"

#include <QScreen>

int main(int argc, char *argv[])
{
    VoxApplication app(argc, argv);
    // Every window, dialog and message box shows the console's own icon.
    app.setWindowIcon(consoleIcon());
    voxLogSetExceptionIcon();

    // Painted at once, so that it shows during the slow steps below; never
    // closed: the main window covers it.
    TSplashFrm splash;
    splash.show();
    splash.repaint();
    app.processEvents();

    // The data module: a connection failure is reported and start-up goes
    // on; the datasets connect again when they are opened.
    TAdminData adminData;
    runReported([&] { adminData.DataModuleCreate(); });

    // What the main window hands off: the login and the about box; the
    // service clients, the maintenance windows and the program launcher
    // are the console's own.
    TAboutBox aboutBox;
    ShellServices services;
    services.login = &Tloginform::run;
    services.about = [&aboutBox] { aboutBox.exec(); };
    TMainForm mainForm(std::move(services));
    TSymbolFrm::createShared();

    // Maximised; the geometry also covers desktops without a window manager.
    if (const QScreen *screen = app.primaryScreen())
        mainForm.setGeometry(screen->availableGeometry());
    mainForm.showMaximized();
    const int result = app.exec();
    voxLogClose();
    return result;
}
