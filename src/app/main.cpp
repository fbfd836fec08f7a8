#include "net/VoxLog.h"
#include "shell/ConsoleStartup.h"
#include "widgets/VoxApplication.h"

int main(int argc, char *argv[])
{
    VoxApplication app(argc, argv);
    int result = 0;
    {
        ConsoleStartup console;
        console.start();
        result = app.exec();
    }
    voxLogClose();
    return result;
}
