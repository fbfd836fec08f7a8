#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTcpServer>

class QTcpSocket;

// A loopback line server standing in for the risk manager: it accepts
// clients and keeps every line they send (CR LF removed), in order, and the
// bytes of each connection as they came.
class LineServer : public QObject
{
    Q_OBJECT
public:
    // Listens on port, or on any free port when it is 0.
    explicit LineServer(quint16 port = 0);

    quint16 port() const { return m_server.serverPort(); }
    bool isListening() const { return m_server.isListening(); }
    QStringList lines;
    // Raw bytes as received, for checks on line ends.
    QByteArray raw;
    // The bytes of each accepted connection, oldest first, and its socket
    // (null once freed).
    QList<QByteArray> received;
    QList<QPointer<QTcpSocket>> sockets;
    // Every connection's bytes, oldest connection first.
    QByteArray all() const { return received.join(); }
    // Closes every accepted connection, as a server going away would.
    void closeClients();
    // Waits (processing events) until at least n lines arrived.
    bool waitForLines(int n, int timeoutMs = 5000);
    // Lets pending traffic arrive and returns the lines taken since the
    // last call.
    QStringList take(int expected = -1, int timeoutMs = 1500);

private:
    QTcpServer m_server;
    QByteArray m_pending;
    int m_taken = 0;
};

// A loopback port on which nothing listens (just now).
quint16 freePort();
