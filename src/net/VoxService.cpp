#include "net/VoxService.h"

#include "config/IniFile.h"
#include "config/VoxIniFile.h"
#include "core/Guard.h"
#include "core/VoxError.h"
#include "net/VoxLog.h"
#include "net/VoxMsg.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>
#include <limits>

namespace {
QString addressText(const QHostAddress &address)
{
    if (address.isNull())
        return QStringLiteral("0.0.0.0");
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4).toString() : address.toString();
}
} // namespace

// ---------------------------------------------------------------- voxService

voxService::voxService(QObject *owner, const QString &serviceName)
    : QObject(owner)
    , m_serviceName(serviceName)
{
    const std::unique_ptr<IniFile> ini = voxIniFile();
    const QStringList values = ini->readSectionValues(serviceName);
    if (values.isEmpty())
        throw VoxError(QStringLiteral("Cannot find section ") + serviceName
                       + QStringLiteral(" in configuration file"));
    m_host = valueFromList(values, QStringLiteral("host"));
    if (m_host.isEmpty())
        throw VoxError(QStringLiteral("Cannot get host name of service ") + serviceName);
    if (!parsePort(valueFromList(values, QStringLiteral("port")), &m_port))
        throw VoxError(QStringLiteral("Cannot get port number of service ") + serviceName);
}

voxService::voxService(QObject *owner, const QString &serviceName, const QString &host, int port)
    : QObject(owner)
    , m_serviceName(serviceName)
    , m_host(host)
    , m_port(port)
{
}

voxService::~voxService() = default;

bool voxService::parsePort(const QString &text, int *port)
{
    qsizetype i = 0;
    while (i < text.size() && (text.at(i) == QLatin1Char(' ') || text.at(i) == QLatin1Char('\t')))
        ++i;
    int base = 10;
    if (text.mid(i, 1) == QLatin1String("$")) {
        base = 16;
        i += 1;
    } else if (text.mid(i, 2).compare(QLatin1String("0x"), Qt::CaseInsensitive) == 0) {
        base = 16;
        i += 2;
    }
    const QString digits = text.mid(i);
    if (digits.isEmpty())
        return false;
    for (QChar c : digits) {
        const bool ok = base == 10 ? (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
                                   : QStringLiteral("0123456789abcdefABCDEF").contains(c);
        if (!ok)
            return false;
    }
    bool ok = false;
    const qlonglong value = digits.toLongLong(&ok, base);
    // A number a TCP port cannot hold would silently reach a different port.
    if (!ok || value < 1 || value > 65535)
        return false;
    *port = int(value);
    return true;
}

// ---------------------------------------------------------- voxServiceClient

voxServiceClient::voxServiceClient(QObject *owner, const QString &serviceName)
    : voxService(owner, serviceName)
{
    setup();
}

voxServiceClient::voxServiceClient(QObject *owner, const QString &serviceName,
                                   const QString &host, int port)
    : voxService(owner, serviceName, host, port)
{
    setup();
}

void voxServiceClient::setup()
{
    m_socket = new QTcpSocket(this);
    m_connection = std::make_unique<voxSocketConnection>(m_socket);
    vox::connect(m_socket, &QTcpSocket::connected, this, &voxServiceClient::connectedNotification);
    vox::connect(m_socket, &QTcpSocket::disconnected, this, &voxServiceClient::disconnectEvent);
    vox::connect(m_socket, &QTcpSocket::readyRead, this, &voxServiceClient::readEvent);
    vox::connect(m_socket, &QTcpSocket::bytesWritten, this, &voxServiceClient::writeEvent);
    vox::connect(m_socket, &QTcpSocket::errorOccurred, this, &voxServiceClient::errorEvent);

    m_reconnectTimer = new QTimer(this);
    m_reconnectTimer->setInterval(DefaultReconnectInterval);
    vox::connect(m_reconnectTimer, &QTimer::timeout, this, &voxServiceClient::reconnect);

    m_reconnectEnabled = true;
    m_pingEnabled = true;

    m_pingTimer = new QTimer(this);
    m_pingTimer->setInterval(DefaultPingInterval);
    vox::connect(m_pingTimer, &QTimer::timeout, this, &voxServiceClient::doping);
    if (m_pingEnabled)
        m_pingTimer->start();

    m_lastActivity = now();
}

voxServiceClient::~voxServiceClient()
{
    m_reconnectTimer->stop();
    m_reconnectEnabled = false;
    m_pingTimer->stop();
    // No notification may reach this half-destroyed client.
    m_socket->disconnect(this);
    try {
        flushBeforeClose();
    } catch (...) {
        // Ending the client must not fail; what could not leave is lost.
    }
    m_socket->abort();
    delete m_socket;
    m_socket = nullptr;
}

void voxServiceClient::flushBeforeClose()
{
    // Commands sent just before the end still go out: the link is closed
    // the orderly way once the socket has written everything it took,
    // within a bounded time.
    const bool waiting = m_writer && m_writer->queuedCount() > 0;
    const QAbstractSocket::SocketState state = m_socket->state();
    if (state == QAbstractSocket::UnconnectedState || state == QAbstractSocket::ClosingState)
        return;
    if (state != QAbstractSocket::ConnectedState && !waiting)
        return; // an attempt with nothing to deliver is simply dropped
    const QDeadlineTimer deadline(m_closeTimeout);
    if (state != QAbstractSocket::ConnectedState) {
        if (!m_socket->waitForConnected(int(deadline.remainingTime())))
            return;
        m_writer->restart(); // a new link, as in connectedNotification
    }
    if (m_writer) {
        // The whole queue goes to the socket now; the send limit only paces
        // a running link.
        m_connection->setSendLimit(std::numeric_limits<qint64>::max());
        m_writer->pushMessage();
    }
    m_socket->disconnectFromHost();
    if (m_socket->state() != QAbstractSocket::UnconnectedState)
        m_socket->waitForDisconnected(int(qMax<qint64>(deadline.remainingTime(), 0)));
}

void voxServiceClient::setCloseTimeout(int msec)
{
    m_closeTimeout = msec > 0 ? msec : 0;
}

QDateTime voxServiceClient::now() const
{
    // UTC: a local time stamp would consult the time zone at every send.
    return m_clock ? m_clock() : QDateTime::currentDateTimeUtc();
}

void voxServiceClient::setClock(Clock clock)
{
    m_clock = std::move(clock);
}

bool voxServiceClient::isConnected() const
{
    return m_linkUp;
}

quint64 voxServiceClient::lastPassedSerial() const
{
    return m_writer ? m_writer->lastTaken() : 0;
}

voxServiceClient::LinkState voxServiceClient::linkState() const
{
    if (m_linkUp)
        return LinkState::Connected;
    if (m_connecting)
        return LinkState::Connecting;
    return m_everOpened ? LinkState::Down : LinkState::Idle;
}

void voxServiceClient::notifyPassed()
{
    const quint64 passed = lastPassedSerial();
    if (passed != m_lastNotified) {
        m_lastNotified = passed;
        emit messagesPassed(passed);
    }
}

void voxServiceClient::markDown()
{
    // A failed retry leaves the time the link was first lost.
    if (m_downSince.isNull())
        m_downSince = now();
}

qsizetype voxServiceClient::queuedCount() const
{
    return m_writer ? m_writer->queuedCount() : 0;
}

int voxServiceClient::pingInterval() const
{
    return m_pingTimer->interval();
}

void voxServiceClient::setPingInterval(int msec)
{
    m_pingTimer->setInterval(msec);
}

int voxServiceClient::reconnectInterval() const
{
    return m_reconnectTimer->interval();
}

void voxServiceClient::setReconnectInterval(int msec)
{
    m_reconnectTimer->setInterval(msec);
}

bool voxServiceClient::isReconnectTimerActive() const
{
    return m_reconnectTimer->isActive();
}

void voxServiceClient::setPingEnabled(bool enabled)
{
    m_pingEnabled = enabled;
    if (enabled)
        m_pingTimer->start();
    else
        m_pingTimer->stop();
}

void voxServiceClient::setSendLimit(qint64 bytes)
{
    m_connection->setSendLimit(bytes);
}

void voxServiceClient::sendMessage(const QString &text)
{
    m_lastActivity = now();
    if (!m_linkUp && !m_connecting)
        connect();
    if (!m_writer)
        m_writer = std::make_unique<voxMsgWriter>(m_connection.get());
    QByteArray line = text.toLatin1();
    line += "\r\n";
    m_lastQueued = m_writer->sendMessage(line);
    notifyPassed();
}

void voxServiceClient::connect()
{
    m_connecting = true;
    m_everOpened = true;
    emit linkChanged();
    // A socket left closing by the previous link is reset first; it is no
    // longer marked as a link, so this notifies nothing.
    if (m_socket->state() != QAbstractSocket::UnconnectedState)
        m_socket->abort();
    m_socket->connectToHost(host(), quint16(port()));
}

void voxServiceClient::doping()
{
    if (!m_linkUp || m_connecting)
        return;
    const qint64 idleSeconds = m_lastActivity.secsTo(now());
    if (idleSeconds > pingInterval() / 1000)
        sendMessage(QStringLiteral("PING|"));
}

void voxServiceClient::reconnect()
{
    if (!m_reconnectEnabled || m_connecting)
        return;
    voxLogMsg(QStringLiteral("Reconnecting to Server ") + serviceName());
    connect();
}

void voxServiceClient::connectedNotification()
{
    // A new link starts clean: a message cut by the old one goes out whole,
    // and bytes left from the old one are not glued to the new ones.
    if (m_writer)
        m_writer->restart();
    m_reader.reset();
    connectEvent();
    // The link is writable now: out goes what waited in the queue.
    writeEvent();
}

void voxServiceClient::connectEvent()
{
    m_connecting = false;
    m_linkUp = true;
    m_downSince = QDateTime();
    m_reconnectTimer->stop();

    m_localAddress = addressText(m_socket->localAddress());
    m_localPort = m_socket->localPort();
    m_remoteAddress = addressText(m_socket->peerAddress());
    m_remotePort = m_socket->peerPort();
    voxLogMsg(QString::asprintf("Service %s Local %s:%d to Remote %s:%d",
                                serviceName().toLatin1().constData(),
                                m_localAddress.toLatin1().constData(), m_localPort,
                                m_remoteAddress.toLatin1().constData(), m_remotePort));

    m_socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    if (m_socket->socketOption(QAbstractSocket::KeepAliveOption).toInt() != 1)
        voxLogMsg(QStringLiteral("Cannot set socket KeepAlive"), voxLogKind::Error);

    if (m_statusHandler)
        m_statusHandler(m_socket, true);
    emit linkChanged();
}

void voxServiceClient::writeEvent()
{
    if (m_writer) {
        m_writer->pushMessage();
        notifyPassed();
    }
}

void voxServiceClient::disconnectEvent()
{
    if (m_linkUp)
        closeLink();
}

void voxServiceClient::closeLink()
{
    m_linkUp = false;
    markDown();
    if (m_remoteAddress.isEmpty()) {
        // A failed attempt: no local end, the remote end as configured.
        m_localAddress = addressText(QHostAddress());
        m_remoteAddress = host();
        m_remotePort = port();
    }
    voxLogMsg(QString::asprintf("Disconnect %s Local %s:%d to Remote %s:%d",
                                serviceName().toLatin1().constData(),
                                m_localAddress.toLatin1().constData(), m_localPort,
                                m_remoteAddress.toLatin1().constData(), m_remotePort));
    m_localAddress.clear();
    m_localPort = 0;
    m_remoteAddress.clear();
    m_remotePort = 0;
    // Attempts start once a reconnect interval: a failed attempt does not
    // begin the countdown again.
    if (m_reconnectEnabled && !m_reconnectTimer->isActive())
        m_reconnectTimer->start();
    if (m_statusHandler)
        m_statusHandler(m_socket, false);
    emit linkChanged();
}

void voxServiceClient::errorEvent(QAbstractSocket::SocketError error)
{
    QString category;
    m_lastError = QString::number(voxSocketErrorCode(error)) + QLatin1Char(' ') + m_socket->errorString();
    if (error == QAbstractSocket::RemoteHostClosedError && !m_connecting) {
        // The peer closed the link: a disconnection, not a socket error.
        // (The socket layer reports a reset by the peer the same way.)
        disconnectEvent();
        return;
    }
    if (m_connecting) {
        // The attempt failed; it ends like a closed link and waits for the
        // next retry (or the next message).
        category = QStringLiteral("Connect");
        m_connecting = false;
        closeLink();
    } else if (m_linkUp && error == QAbstractSocket::NetworkError) {
        category = QStringLiteral("Disconnect");
        disconnectEvent();
    } else {
        category = QStringLiteral("General");
    }
    voxLogMsg(category + QStringLiteral(" socket error ")
                  + QString::number(voxSocketErrorCode(error)),
              voxLogKind::Warning);
    emit linkChanged();
}

void voxServiceClient::readEvent()
{
    m_readPending = false;
    if (!m_reader)
        m_reader = std::make_unique<voxMsgReader>(m_connection.get());
    bool receiveAllowed = true;
    m_lastActivity = now();
    for (;;) {
        const QByteArray message = m_reader->nextMessage(receiveAllowed);
        if (message.isEmpty())
            break;
        if (m_messageHandler) {
            const QString text = QString::fromLatin1(message);
            try {
                m_messageHandler(m_socket, text);
            } catch (...) {
                dumpTrace(std::current_exception(), text);
            }
        }
    }
    // One block per notification; what is left behind gets a notification
    // of its own, as a socket reports data still waiting.
    if (m_socket->bytesAvailable() > 0 && !m_readPending) {
        m_readPending = true;
        QMetaObject::invokeMethod(
            this, [this] { vox::guard([this] { readEvent(); }); }, Qt::QueuedConnection);
    }
}

int voxSocketErrorCode(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
    case QAbstractSocket::ProxyConnectionRefusedError:
        return 10061; // connection refused
    case QAbstractSocket::RemoteHostClosedError:
    case QAbstractSocket::ProxyConnectionClosedError:
        return 10054; // connection reset by peer
    case QAbstractSocket::HostNotFoundError:
    case QAbstractSocket::ProxyNotFoundError:
        return 11001; // host not found
    case QAbstractSocket::SocketAccessError:
        return 10013; // permission denied
    case QAbstractSocket::SocketResourceError:
        return 10055; // no buffer space
    case QAbstractSocket::SocketTimeoutError:
    case QAbstractSocket::ProxyConnectionTimeoutError:
        return 10060; // timed out
    case QAbstractSocket::DatagramTooLargeError:
        return 10040; // message too long
    case QAbstractSocket::NetworkError:
        return 10051; // network unreachable
    case QAbstractSocket::AddressInUseError:
        return 10048; // address in use
    case QAbstractSocket::SocketAddressNotAvailableError:
        return 10049; // address not available
    case QAbstractSocket::UnsupportedSocketOperationError:
        return 10045; // operation not supported
    case QAbstractSocket::UnfinishedSocketOperationError:
        return 10036; // operation in progress
    case QAbstractSocket::TemporaryError:
        return 10035; // would block
    case QAbstractSocket::ProxyAuthenticationRequiredError:
    case QAbstractSocket::ProxyProtocolError:
        return 10065; // host unreachable (through the proxy)
    case QAbstractSocket::SslHandshakeFailedError:
    case QAbstractSocket::SslInternalError:
    case QAbstractSocket::SslInvalidUserDataError:
        return 10053; // connection aborted
    case QAbstractSocket::OperationError:
    case QAbstractSocket::UnknownSocketError:
        break;
    }
    return 10022; // invalid argument
}
