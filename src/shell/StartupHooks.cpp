#include "shell/StartupHooks.h"

#include "config/VoxIniFile.h"
#include "db/AdminData.h"
#include "net/Services.h"
#include "net/VoxService.h"
#include "shell/RiskConfirmation.h"

#include <QCoreApplication>

void createServiceClients(QObject *owner)
{
    // Until the data module exists the clients live as long as the
    // application. A missing section raises here: when the risk manager's
    // is missing, neither client is created.
    if (!owner)
        owner = QCoreApplication::instance();
    // Risk commands are followed until riskman_file shows them, read
    // through the data module's connection.
    if (TAdminData *data = TAdminData::instance())
        createRiskOutbox(owner, data->Database1, *voxIniFile());
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
