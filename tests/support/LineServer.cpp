#include "support/LineServer.h"

#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTest>

LineServer::LineServer(quint16 port)
{
    m_server.listen(QHostAddress::LocalHost, port);
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *s = m_server.nextPendingConnection()) {
            const qsizetype index = received.size();
            received.append(QByteArray());
            sockets.append(s);
            connect(s, &QTcpSocket::readyRead, this, [this, s, index] {
                const QByteArray bytes = s->readAll();
                received[index] += bytes;
                raw += bytes;
                m_pending += bytes;
                qsizetype nl;
                while ((nl = m_pending.indexOf('\n')) >= 0) {
                    QByteArray line = m_pending.left(nl);
                    m_pending.remove(0, nl + 1);
                    if (line.endsWith('\r'))
                        line.chop(1);
                    lines << QString::fromLatin1(line);
                }
            });
        }
    });
}

void LineServer::closeClients()
{
    for (QTcpSocket *s : std::as_const(sockets)) {
        if (s)
            s->close();
    }
}

bool LineServer::waitForLines(int n, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (lines.size() < n && t.elapsed() < timeoutMs)
        QTest::qWait(10);
    return lines.size() >= n;
}

QStringList LineServer::take(int expected, int timeoutMs)
{
    if (expected >= 0)
        waitForLines(m_taken + expected, timeoutMs);
    QTest::qWait(50);
    const QStringList out = lines.mid(m_taken);
    m_taken = lines.size();
    return out;
}

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}
