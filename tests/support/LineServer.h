#pragma once

#include <QByteArray>
#include <QObject>
#include <QStringList>
#include <QTcpServer>

// A loopback line server standing in for the risk manager: it accepts
// clients and keeps every line they send (CR LF removed), in order.
class LineServer : public QObject
{
    Q_OBJECT
public:
    LineServer();

    quint16 port() const { return m_server.serverPort(); }
    QStringList lines;
    // Raw bytes as received, for checks on line ends.
    QByteArray raw;
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
