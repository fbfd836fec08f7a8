#include "net/Services.h"

#include "core/VoxError.h"
#include "net/VoxService.h"

#include <QPointer>
#include <utility>

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

voxServiceClient *setRiskManagerClient(voxServiceClient *client)
{
    return std::exchange(riskManager(), client).data();
}

voxServiceClient *setOrderServerClient(voxServiceClient *client)
{
    return std::exchange(orderServer(), client).data();
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
