#include "support/TcpProxy.h"

#include <QHostAddress>
#include <QMetaObject>
#include <QTcpServer>
#include <QTcpSocket>

class TcpProxy::Worker : public QObject
{
public:
    quint16 target = 0;
    quint16 port = 0;
    QTcpServer *server = nullptr;
    QList<QTcpSocket *> sockets;

    void listen()
    {
        if (!server) {
            server = new QTcpServer(this);
            QObject::connect(server, &QTcpServer::newConnection, this, [this] { accept(); });
        }
        server->listen(QHostAddress::LocalHost, port);
        port = server->serverPort();
    }

    void shut()
    {
        if (server)
            server->close();
        const auto all = sockets;
        sockets.clear();
        for (QTcpSocket *s : all) {
            s->abort();
            s->deleteLater();
        }
    }

    void accept()
    {
        while (QTcpSocket *client = server->nextPendingConnection()) {
            auto *upstream = new QTcpSocket(this);
            sockets << client << upstream;
            upstream->connectToHost(QHostAddress::LocalHost, target);
            QObject::connect(client, &QTcpSocket::readyRead, upstream, [client, upstream] {
                upstream->write(client->readAll());
            });
            QObject::connect(upstream, &QTcpSocket::readyRead, client, [client, upstream] {
                client->write(upstream->readAll());
            });
            QObject::connect(client, &QTcpSocket::disconnected, upstream, &QTcpSocket::disconnectFromHost);
            QObject::connect(upstream, &QTcpSocket::disconnected, client, &QTcpSocket::disconnectFromHost);
        }
    }
};

TcpProxy::TcpProxy(quint16 targetPort)
{
    m_worker = new Worker;
    m_worker->target = targetPort;
    m_worker->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread.start();
}

TcpProxy::~TcpProxy()
{
    stop();
    m_thread.quit();
    m_thread.wait();
}

void TcpProxy::start()
{
    QMetaObject::invokeMethod(m_worker, [this] { m_worker->listen(); }, Qt::BlockingQueuedConnection);
    m_port = m_worker->port;
}

void TcpProxy::stop()
{
    QMetaObject::invokeMethod(m_worker, [this] { m_worker->shut(); }, Qt::BlockingQueuedConnection);
}
