#include "core/ErrorReport.h"
#include "core/VoxApplication.h"
#include "shell/MainForm.h"

int main(int argc, char *argv[])
{
    VoxApplication app(argc, argv);

    TMainForm mainForm;
    mainForm.showMaximized();
    return app.exec();
}
