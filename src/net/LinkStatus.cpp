#include "net/LinkStatus.h"

#include "net/RiskOutbox.h"
#include "net/VoxService.h"

#include <QStringList>

LinkStatus linkStatus(const QString &service, const voxServiceClient *client, const RiskOutbox *outbox,
                      const QDateTime &now)
{
    LinkStatus status;
    if (!client) {
        status.text = service + QStringLiteral(": not configured");
        status.toolTip = QStringLiteral("Section ") + service + QStringLiteral(" of vox.ini is missing or incomplete");
        return status;
    }
    QString state;
    switch (client->linkState()) {
    case voxServiceClient::LinkState::Idle:
        state = QStringLiteral("idle");
        break;
    case voxServiceClient::LinkState::Connecting:
        state = QStringLiteral("connecting");
        break;
    case voxServiceClient::LinkState::Connected:
        state = QStringLiteral("connected");
        break;
    case voxServiceClient::LinkState::Down: {
        const QDateTime since = client->downSince().toLocalTime();
        const QString format = since.date() == now.toLocalTime().date() ? QStringLiteral("hh:mm:ss")
                                                                        : QStringLiteral("yyyy-MM-dd hh:mm:ss");
        state = QStringLiteral("down since ") + since.toString(format);
        break;
    }
    }
    QStringList parts{state};
    if (const qsizetype queued = client->queuedCount())
        parts << QString::number(queued) + QStringLiteral(" queued");
    if (outbox) {
        if (const qsizetype pending = outbox->pendingCount(service))
            parts << QString::number(pending) + QStringLiteral(" awaiting confirmation");
        if (const qsizetype unconfirmed = outbox->unconfirmedCount(service))
            parts << QString::number(unconfirmed) + QStringLiteral(" unconfirmed");
    }
    status.text = service + QStringLiteral(": ") + parts.join(QStringLiteral(", "));
    const QString error = client->lastSocketError();
    status.toolTip = QStringLiteral("Host: %1\nPort: %2\nLast socket error: %3")
                         .arg(client->host())
                         .arg(client->port())
                         .arg(error.isEmpty() ? QStringLiteral("none") : error);
    return status;
}
