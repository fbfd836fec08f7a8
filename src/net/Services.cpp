#include "net/Services.h"

#include "core/VoxError.h"
#include "net/RiskOutbox.h"
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

QPointer<RiskOutbox> &outbox()
{
    static QPointer<RiskOutbox> box;
    return box;
}
} // namespace

RiskOutbox *riskOutbox()
{
    return outbox().data();
}

void setRiskOutbox(RiskOutbox *box)
{
    outbox() = box;
}

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
    if (RiskOutbox *box = riskOutbox())
        box->send(client, command);
    else
        client->sendMessage(command);
}
