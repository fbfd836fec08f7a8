#include "core/ErrorReport.h"
#include "core/VoxApplication.h"
#include "db/AdminData.h"
#include "shell/LoginForm.h"
#include "shell/MainForm.h"

int main(int argc, char *argv[])
{
    VoxApplication app(argc, argv);

    // The data module: a connection failure is reported and start-up goes
    // on; the datasets connect again when they are opened.
    TAdminData adminData;
    runReported([&] { adminData.DataModuleCreate(); });

    TMainForm::setLoginFunction(&Tloginform::run);
    TMainForm mainForm;
    mainForm.showMaximized();
    return app.exec();
}
