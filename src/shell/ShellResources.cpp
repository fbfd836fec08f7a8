#include "shell/ShellResources.h"

#include <QtGlobal>

void initShellResources()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(voxshell);
        return true;
    }();
    Q_UNUSED(done);
}
