#pragma once

#include "RiskStore.h"

#include <QHostAddress>
#include <QObject>
#include <QTcpServer>
#include <functional>

class QTcpSocket;
class voxMsgReader;

// Accepts any number of clients and applies each complete line they send,
// one at a time, through the store. Answers "PING|" with "PING|" and a bad
// line with "ERROR|reason|"; a client whose line grows past maxLineLength
// bytes without its end gets an error and the line is skipped.
class RiskManServer : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 DefaultMaxLineLength = 4096;
    // Reply bytes a client may leave unread before it is disconnected.
    static constexpr qint64 MaxPendingReplies = 1024 * 1024;

    explicit RiskManServer(RiskStore *store, QObject *parent = nullptr);

    bool listen(const QHostAddress &address, quint16 port);
    QString errorString() const { return m_server.errorString(); }
    quint16 serverPort() const { return m_server.serverPort(); }
    QHostAddress serverAddress() const { return m_server.serverAddress(); }
    int clientCount() const { return m_clients; }

    void setMaxLineLength(qint64 length) { m_maxLineLength = length; }
    // Receives each line to log (without time stamp).
    void setLogger(std::function<void(const QString &)> logger) { m_logger = std::move(logger); }

    // The address to listen on for the configured host: the host itself
    // when it names this machine, loopback otherwise.
    static QHostAddress listenAddressFor(const QString &host);

private:
    void accept();
    void serve(QTcpSocket *socket, voxMsgReader &reader);
    void log(const QString &text) const;

    QTcpServer m_server;
    RiskStore *m_store;
    qint64 m_maxLineLength = DefaultMaxLineLength;
    int m_clients = 0;
    std::function<void(const QString &)> m_logger;
};
