#pragma once

#include <QString>

class QObject;
class RiskOutbox;
class voxServiceClient;

// The process-wide service clients. Each is null until created, and again
// once its owner has freed it. The setters return the client they replaced.
voxServiceClient *riskManagerClient();
voxServiceClient *orderServerClient();
voxServiceClient *setRiskManagerClient(voxServiceClient *client);
voxServiceClient *setOrderServerClient(voxServiceClient *client);
// The outbox that follows risk commands until they are confirmed; null
// while none is installed (commands then go out unfollowed).
RiskOutbox *riskOutbox();
void setRiskOutbox(RiskOutbox *outbox);

// Configuration sections of the two services.
inline constexpr const char *RiskManagerSection = "VOX_RISKMAN";
inline constexpr const char *OrderServerSection = "VOX_SVR";

// Sends one risk-parameter command (without line end) to the risk manager,
// through the outbox when one is installed.
// Raises VoxError when the risk-manager client does not exist (its
// configuration was missing at start-up), so the operator learns that the
// change did not go out.
void sendRiskCommand(const QString &command);
