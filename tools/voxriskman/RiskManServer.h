#pragma once

#include "RiskStore.h"

#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTimer>
#include <deque>
#include <functional>

class QTcpSocket;

// Accepts any number of clients and applies each complete line they send,
// one at a time, through the store. Answers "PING|" with "PING|" and a bad
// line with "ERROR|reason|"; a client whose line grows past maxLineLength
// bytes without its end gets an error and the line is skipped.
//
// Clients are served in turns: each turn takes at most a few lines (32 unless set)
// (and ReceivesPerTurn blocks of bytes) from every client with work waiting,
// so one client's long burst never holds up another's short request. Lines
// a client sent before closing its end are still applied.
class RiskManServer : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 DefaultMaxLineLength = 4096;
    // Reply bytes a client may leave unread before it is disconnected.
    static constexpr qint64 MaxPendingReplies = 1024 * 1024;
    static constexpr int DefaultLinesPerTurn = 32;
    static constexpr int ReceivesPerTurn = 8;

    explicit RiskManServer(RiskStore *store, QObject *parent = nullptr);
    ~RiskManServer() override;

    bool listen(const QHostAddress &address, quint16 port);
    QString errorString() const { return m_server.errorString(); }
    quint16 serverPort() const { return m_server.serverPort(); }
    QHostAddress serverAddress() const { return m_server.serverAddress(); }
    int clientCount() const { return m_clients; }

    void setMaxLineLength(qint64 length) { m_maxLineLength = length; }
    void setLinesPerTurn(int lines) { m_linesPerTurn = lines > 0 ? lines : 1; }
    // Receives each line to log (without time stamp).
    void setLogger(std::function<void(const QString &)> logger) { m_logger = std::move(logger); }

    // The address to listen on for the configured host: the host itself
    // when it names this machine, loopback otherwise.
    static QHostAddress listenAddressFor(const QString &host);

private:
    class Client;

    void accept();
    void schedule(Client *client);
    void runTurn();
    // Serves one turn of the client; true when work is left for a later one.
    bool serve(Client &client);
    void clientClosed(Client *client);
    void log(const QString &text) const;

    QTcpServer m_server;
    RiskStore *m_store;
    qint64 m_maxLineLength = DefaultMaxLineLength;
    int m_linesPerTurn = DefaultLinesPerTurn;
    int m_clients = 0;
    std::function<void(const QString &)> m_logger;
    std::deque<QPointer<Client>> m_ready;
    QTimer m_turn;
};
