#pragma once

#include <QObject>
#include <QThread>
#include <memory>

class QTcpServer;

// A loopback TCP proxy in its own thread, standing in for a database server
// that goes down and comes back: while stopped nothing listens on its port
// and every forwarded connection is cut.
class TcpProxy
{
public:
    TcpProxy(quint16 targetPort);
    ~TcpProxy();

    quint16 port() const { return m_port; }
    void start();
    void stop();

private:
    class Worker;
    QThread m_thread;
    Worker *m_worker = nullptr;
    quint16 m_port = 0;
};
