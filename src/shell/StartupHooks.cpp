#include "shell/StartupHooks.h"

#include "db/AdminData.h"
#include "net/Services.h"
#include "net/VoxService.h"

#include <QCoreApplication>

void createServiceClients(QObject *owner)
{
    // Until the data module exists the clients live as long as the
    // application. A missing section raises here: when the risk manager's
    // is missing, neither client is created.
    if (!owner)
        owner = QCoreApplication::instance();
    setRiskManagerClient(new voxServiceClient(owner, QLatin1String(RiskManagerSection)));
    setOrderServerClient(new voxServiceClient(owner, QLatin1String(OrderServerSection)));
}

void openSharedDatasets()
{
    if (TAdminData *data = TAdminData::instance()) {
        data->RightList->open();
        data->Query_alluser->open();
    }
}
