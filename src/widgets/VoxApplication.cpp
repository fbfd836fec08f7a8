#include "widgets/VoxApplication.h"

#include "core/ErrorReport.h"
#include "net/ExceptionReport.h"
#include "widgets/ExceptionReportWindow.h"

VoxApplication::VoxApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("voxadmin"));
    setApplicationDisplayName(QStringLiteral("VOX Administration"));
    setOrganizationName(QStringLiteral("Vrl"));
    Dialogs::setDefaultInstance(&m_dialogs);
    setExceptionReportViewer(&ExceptionReportWindow::showQueued);
}

VoxApplication::~VoxApplication()
{
    // No window can be shown once the application object is gone.
    setExceptionReportViewer({});
    Dialogs::setDefaultInstance(nullptr);
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
