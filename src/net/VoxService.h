#pragma once

#include <QAbstractSocket>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QTcpSocket;
class QTimer;
class voxMsgReader;
class voxMsgWriter;
class voxSocketConnection;

// The configured identity of one service of the suite: a section of vox.ini
// with keys "host" and "port". Freed by its owner.
class voxService : public QObject
{
    Q_OBJECT
public:
    // Called with each complete incoming message.
    using MessageHandler = std::function<void(QTcpSocket *socket, const QString &message)>;
    // Told of connection changes.
    using StatusHandler = std::function<void(QTcpSocket *socket, bool connected)>;

    // Reads host and port from the section of the configuration file.
    // Raises VoxError when the section, the host or a valid port is missing.
    voxService(QObject *owner, const QString &serviceName);
    // A service with its settings given directly.
    voxService(QObject *owner, const QString &serviceName, const QString &host, int port);
    ~voxService() override;

    const QString &serviceName() const { return m_serviceName; }
    const QString &host() const { return m_host; }
    int port() const { return m_port; }

    void setMessageHandler(MessageHandler handler) { m_messageHandler = std::move(handler); }
    void setStatusHandler(StatusHandler handler) { m_statusHandler = std::move(handler); }

    // Port text as the configuration holds it: decimal, or hexadecimal after
    // "$" or "0x"; blanks before the number are allowed, nothing after it.
    // Returns false for anything else, and for numbers that are no TCP port.
    static bool parsePort(const QString &text, int *port);

protected:
    MessageHandler m_messageHandler;
    StatusHandler m_statusHandler;

private:
    QString m_serviceName;
    QString m_host;
    int m_port = 0;
};

// A TCP client of one service. Connects on the first message, queues
// messages while the link is down, sends "PING|" on a link idle for more
// than the ping interval, and retries a lost link every reconnect interval.
// Socket errors are logged, never shown to the operator. Its end closes the
// link the orderly way, waiting at most the close timeout for the queued
// messages to leave. Lives on the user-interface thread.
class voxServiceClient : public voxService
{
    Q_OBJECT
public:
    static constexpr int DefaultPingInterval = 30000;
    static constexpr int DefaultReconnectInterval = 60000;
    static constexpr int DefaultCloseTimeout = 3000;

    using Clock = std::function<QDateTime()>;

    // The link as the operator sees it: never opened yet, being opened,
    // up, or lost (or never reached) since downSince().
    enum class LinkState { Idle, Connecting, Connected, Down };

    voxServiceClient(QObject *owner, const QString &serviceName);
    voxServiceClient(QObject *owner, const QString &serviceName, const QString &host, int port);
    ~voxServiceClient() override;

    // Queues one message (without line end) and starts a connection when
    // none is up or in progress. Never waits and never reports.
    virtual void sendMessage(const QString &text);

    QTcpSocket *socket() const { return m_socket; }
    bool isConnecting() const { return m_connecting; }
    bool isConnected() const;
    // Messages (or their unsent rests) still waiting in the queue.
    qsizetype queuedCount() const;
    // The running number sendMessage gave the last message queued (0 when
    // none was), and that of the last message the socket took whole: the
    // messages up to it have left the queue.
    quint64 lastQueuedSerial() const { return m_lastQueued; }
    quint64 lastPassedSerial() const;

    LinkState linkState() const;
    // When the link was lost, or the first attempt failed (UTC); null while
    // the link has not been down.
    QDateTime downSince() const { return m_downSince; }
    // The last socket error: its Windows number and the socket's text;
    // empty while there was none.
    QString lastSocketError() const { return m_lastError; }

    int pingInterval() const;
    void setPingInterval(int msec);
    int reconnectInterval() const;
    void setReconnectInterval(int msec);
    bool isReconnectTimerActive() const;
    bool pingEnabled() const { return m_pingEnabled; }
    void setPingEnabled(bool enabled);
    // The socket's pending output above which further sends wait.
    void setSendLimit(qint64 bytes);
    // How long the end of the client waits for queued commands to leave.
    void setCloseTimeout(int msec);
    // The clock that stamps activity and measures idle time.
    void setClock(Clock clock);
    QDateTime lastActivity() const { return m_lastActivity; }

signals:
    // The socket took the messages up to running number upTo.
    void messagesPassed(quint64 upTo);
    // The link state, its time or the last socket error changed.
    void linkChanged();

public slots:
    void connect();
    void doping();
    void reconnect();

protected:
    virtual void readEvent();
    virtual void connectEvent();
    void writeEvent();
    void disconnectEvent();
    void errorEvent(QAbstractSocket::SocketError error);

private:
    void setup();
    void connectedNotification();
    void closeLink();
    void flushBeforeClose();
    void notifyPassed();
    void markDown();
    QDateTime now() const;

    QTcpSocket *m_socket = nullptr;
    std::unique_ptr<voxSocketConnection> m_connection;
    std::unique_ptr<voxMsgReader> m_reader;
    std::unique_ptr<voxMsgWriter> m_writer;
    QTimer *m_reconnectTimer = nullptr;
    QTimer *m_pingTimer = nullptr;
    bool m_connecting = false;
    bool m_linkUp = false;
    bool m_pingEnabled = true;
    bool m_reconnectEnabled = true;
    bool m_readPending = false;
    int m_closeTimeout = DefaultCloseTimeout;
    QDateTime m_lastActivity;
    Clock m_clock;
    // Endpoints of the current link, kept for the line logged when it ends.
    QString m_localAddress;
    int m_localPort = 0;
    QString m_remoteAddress;
    int m_remotePort = 0;
    quint64 m_lastQueued = 0;
    quint64 m_lastNotified = 0;
    bool m_everOpened = false;
    QDateTime m_downSince;
    QString m_lastError;
};

// The Windows socket error number for a Qt socket error, as the suite's
// logs show it (connection refused 10061, reset 10054 and so on).
int voxSocketErrorCode(QAbstractSocket::SocketError error);
