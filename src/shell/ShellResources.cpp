#include "shell/ShellResources.h"

#include <QIcon>
#include <QtGlobal>

void initShellResources()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(voxshell);
        return true;
    }();
    Q_UNUSED(done);
}

QIcon consoleIcon()
{
    initShellResources();
    return QIcon(QStringLiteral(":/MAINICON"));
}
