#include "net/Services.h"

#include "core/VoxError.h"
#include "net/VoxService.h"

#include <QPointer>

namespace {
QPointer<voxServiceClient> &riskManager()
{
    static QPointer<voxServiceClient> client;
    return client;
}

QPointer<voxServiceClient> &orderServer()
{
    static QPointer<voxServiceClient> client;
    return client;
}
} // namespace

voxServiceClient *riskManagerClient()
{
    return riskManager().data();
}

voxServiceClient *orderServerClient()
{
    return orderServer().data();
}

void setRiskManagerClient(voxServiceClient *client)
{
    riskManager() = client;
}

void setOrderServerClient(voxServiceClient *client)
{
    orderServer() = client;
}

void sendRiskCommand(const QString &command)
{
    voxServiceClient *client = riskManagerClient();
    if (!client)
        throw VoxError(QStringLiteral("Cannot send the command to the risk manager: service ")
                       + QLatin1String(RiskManagerSection)
                       + QStringLiteral(" is not configured"));
    client->sendMessage(command);
}
