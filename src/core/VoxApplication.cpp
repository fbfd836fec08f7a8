#include "core/VoxApplication.h"

#include "core/ErrorReport.h"

VoxApplication::VoxApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("voxadmin"));
    setApplicationDisplayName(QStringLiteral("VOX Administration"));
    setOrganizationName(QStringLiteral("Vrl"));
}

bool VoxApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        // The report itself must never take the program down.
        try {
            reportException(std::current_exception());
        } catch (...) {
        }
        return false;
    }
}
