#include "RiskManServer.h"

#include "net/VoxMsg.h"

#include <QHostInfo>
#include <QNetworkInterface>
#include <QTcpSocket>
#include <cstdio>
#include <exception>

namespace {
// Handlers catch here: an exception must not unwind through Qt's code. The
// stand-in has no operator; the error goes to the error output.
template <typename F>
auto caught(F fn)
{
    return [fn = std::move(fn)]() mutable noexcept {
        try {
            fn();
        } catch (const std::exception &e) {
            std::fprintf(stderr, "error: %s\n", e.what());
        } catch (...) {
            std::fprintf(stderr, "error: unknown exception\n");
        }
    };
}
} // namespace

// Per-client state, owned by the client's socket.
class RiskManServer::Client : public QObject
{
public:
    explicit Client(QTcpSocket *s)
        : QObject(s)
        , socket(s)
        , connection(s)
        , reader(&connection)
        , peer(s->peerAddress().toString() + QLatin1Char(':') + QString::number(s->peerPort()))
    {
    }

    // Replies go only to a client still connected.
    void reply(const QByteArray &line)
    {
        if (socket->state() == QAbstractSocket::ConnectedState)
            socket->write(line);
    }

    QTcpSocket *socket;
    voxSocketConnection connection;
    voxMsgReader reader;
    QString peer;
    bool queued = false; // waiting in the turn queue
    bool closed = false; // the client's end is gone
    bool dropped = false; // let go: nothing more of it is applied
};

RiskManServer::RiskManServer(RiskStore *store, QObject *parent)
    : QObject(parent)
    , m_store(store)
{
    m_turn.setSingleShot(true);
    m_turn.setInterval(0);
    QObject::connect(&m_server, &QTcpServer::newConnection, this, caught([this] { accept(); }));
    QObject::connect(&m_turn, &QTimer::timeout, this, caught([this] { runTurn(); }));
}

RiskManServer::~RiskManServer()
{
    // The clients go first and quietly: a socket closing now must not
    // reach this half-destroyed server.
    m_turn.stop();
    m_ready.clear();
    const QList<QTcpSocket *> sockets = m_server.findChildren<QTcpSocket *>(Qt::FindDirectChildrenOnly);
    for (QTcpSocket *socket : sockets) {
        socket->disconnect();
        delete socket;
    }
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
        auto *client = new Client(socket);
        client->reader.setMaxLineLength(m_maxLineLength);
        log(QStringLiteral("client %1 connected").arg(client->peer));
        QObject::connect(socket, &QTcpSocket::readyRead, client,
                         caught([this, client] { schedule(client); }));
        QObject::connect(socket, &QTcpSocket::disconnected, client,
                         caught([this, client] { clientClosed(client); }));
    }
}

void RiskManServer::schedule(Client *client)
{
    if (!client->queued && !client->dropped) {
        client->queued = true;
        m_ready.emplace_back(client);
    }
    // A zero-time turn: sockets are looked at again between turns.
    if (!m_ready.empty() && !m_turn.isActive())
        m_turn.start();
}

void RiskManServer::clientClosed(Client *client)
{
    if (client->closed)
        return;
    client->closed = true;
    --m_clients;
    log(QStringLiteral("client %1 disconnected").arg(client->peer));
    // What it sent before closing is still served; the socket goes after.
    if (client->queued)
        return;
    if (client->dropped)
        client->socket->deleteLater();
    else
        schedule(client);
}

void RiskManServer::runTurn()
{
    // Every client waiting now gets one turn; those with work left queue
    // again behind the others.
    for (std::size_t n = m_ready.size(); n > 0 && !m_ready.empty(); --n) {
        const QPointer<Client> client = m_ready.front();
        m_ready.pop_front();
        if (!client)
            continue;
        client->queued = false;
        bool more = false;
        try {
            more = serve(*client);
        } catch (const std::exception &e) {
            log(QStringLiteral("%1 error: %2").arg(client->peer, QString::fromLocal8Bit(e.what())));
        }
        if (!client)
            continue;
        if (more && !client->dropped)
            schedule(client);
        else if (client->closed)
            client->socket->deleteLater();
    }
    if (!m_ready.empty() && !m_turn.isActive())
        m_turn.start();
}

bool RiskManServer::serve(Client &client)
{
    voxMsgReader &reader = client.reader;
    int lines = 0;
    int receives = 0;
    while (!client.dropped) {
        const int dropped = reader.droppedLines();
        bool receiveAllowed = receives < ReceivesPerTurn;
        const QByteArray line = reader.nextMessage(receiveAllowed);
        if (receives < ReceivesPerTurn && !receiveAllowed)
            ++receives;
        if (reader.droppedLines() != dropped) {
            log(QStringLiteral("%1 error: line too long, skipped").arg(client.peer));
            client.reply("ERROR|line too long|\r\n");
        }
        if (line.isEmpty()) {
            if (receives >= ReceivesPerTurn)
                return true; // bytes may still wait: a later turn
            if (receiveAllowed)
                return false; // nothing more has arrived
            continue;
        }
        const RiskStore::Result result = m_store->apply(line);
        // A client that sends but never reads its replies is let go before
        // they pile up without bound.
        if (client.socket->bytesToWrite() > MaxPendingReplies) {
            log(QStringLiteral("%1 error: replies not read, connection closed").arg(client.peer));
            client.dropped = true;
            client.socket->abort();
            return false;
        }
        switch (result.kind) {
        case RiskStore::Result::Ping:
            client.reply("PING|\r\n");
            break;
        case RiskStore::Result::Applied:
            log(QStringLiteral("%1 applied %2").arg(client.peer, QString::fromLatin1(line)));
            break;
        case RiskStore::Result::Error:
            log(QStringLiteral("%1 error: %2: %3")
                    .arg(client.peer, result.text, QString::fromLatin1(line.left(200)).replace(QChar(0), QLatin1Char(' '))));
            client.reply("ERROR|" + result.text.toLatin1() + "|\r\n");
            break;
        }
        if (++lines >= m_linesPerTurn)
            return true;
    }
    return false;
}
