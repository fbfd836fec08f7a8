#include "RiskManServer.h"

#include "net/VoxMsg.h"

#include <QHostInfo>
#include <QNetworkInterface>
#include <QTcpSocket>
#include <memory>

namespace {
// Per-client framing state, owned by the client's socket.
class ClientState : public QObject
{
public:
    explicit ClientState(QTcpSocket *socket)
        : QObject(socket)
        , connection(socket)
        , reader(&connection)
    {
    }

    voxSocketConnection connection;
    voxMsgReader reader;
};
} // namespace

RiskManServer::RiskManServer(RiskStore *store, QObject *parent)
    : QObject(parent)
    , m_store(store)
{
    QObject::connect(&m_server, &QTcpServer::newConnection, this, &RiskManServer::accept);
}

bool RiskManServer::listen(const QHostAddress &address, quint16 port)
{
    return m_server.listen(address, port);
}

QHostAddress RiskManServer::listenAddressFor(const QString &host)
{
    const QList<QHostAddress> local = QNetworkInterface::allAddresses();
    QList<QHostAddress> candidates;
    QHostAddress literal;
    if (literal.setAddress(host))
        candidates << literal;
    else
        candidates = QHostInfo::fromName(host).addresses();
    for (const QHostAddress &address : candidates) {
        for (const QHostAddress &mine : local) {
            if (address.isEqual(mine, QHostAddress::TolerantConversion))
                return address;
        }
    }
    return QHostAddress(QHostAddress::LocalHost);
}

void RiskManServer::log(const QString &text) const
{
    if (m_logger)
        m_logger(text);
}

void RiskManServer::accept()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        ++m_clients;
        auto *state = new ClientState(socket);
        state->reader.setMaxLineLength(m_maxLineLength);
        const QString peer = socket->peerAddress().toString() + QLatin1Char(':')
            + QString::number(socket->peerPort());
        log(QStringLiteral("client %1 connected").arg(peer));
        QObject::connect(socket, &QTcpSocket::readyRead, this,
                         [this, socket, state] { serve(socket, state->reader); });
        QObject::connect(socket, &QTcpSocket::disconnected, this, [this, socket, peer] {
            --m_clients;
            log(QStringLiteral("client %1 disconnected").arg(peer));
            socket->deleteLater();
        });
    }
}

void RiskManServer::serve(QTcpSocket *socket, voxMsgReader &reader)
{
    const QString peer = socket->peerAddress().toString() + QLatin1Char(':')
        + QString::number(socket->peerPort());
    for (;;) {
        const int dropped = reader.droppedLines();
        bool receiveAllowed = true;
        const QByteArray line = reader.nextMessage(receiveAllowed);
        if (reader.droppedLines() != dropped) {
            log(QStringLiteral("%1 error: line too long, skipped").arg(peer));
            socket->write("ERROR|line too long|\r\n");
        }
        if (line.isEmpty()) {
            if (receiveAllowed)
                break; // nothing more has arrived
            continue;
        }
        const RiskStore::Result result = m_store->apply(line);
        // A client that sends but never reads its replies is let go before
        // they pile up without bound.
        if (socket->bytesToWrite() > MaxPendingReplies) {
            log(QStringLiteral("%1 error: replies not read, connection closed").arg(peer));
            socket->abort();
            return;
        }
        switch (result.kind) {
        case RiskStore::Result::Ping:
            socket->write("PING|\r\n");
            break;
        case RiskStore::Result::Applied:
            log(QStringLiteral("%1 applied %2").arg(peer, QString::fromLatin1(line)));
            break;
        case RiskStore::Result::Error:
            log(QStringLiteral("%1 error: %2: %3").arg(peer, result.text, QString::fromLatin1(line.left(200))));
            socket->write("ERROR|" + result.text.toLatin1() + "|\r\n");
            break;
        }
    }
}
