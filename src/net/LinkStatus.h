#pragma once

#include <QDateTime>
#include <QString>

class RiskOutbox;
class voxServiceClient;

// What the status bar shows of one configured service: the link state
// ("connected", "connecting", "down since ...", "idle" while nothing was
// ever sent, "not configured" without a client), the commands waiting in
// its queue and those not confirmed yet; the tool tip gives the host, the
// port and the last socket error.
struct LinkStatus {
    QString text;
    QString toolTip;
};

// client and outbox may be null. Times are shown in local time, with the
// date when it is not the date of now.
LinkStatus linkStatus(const QString &service, const voxServiceClient *client, const RiskOutbox *outbox,
                      const QDateTime &now = QDateTime::currentDateTime());
