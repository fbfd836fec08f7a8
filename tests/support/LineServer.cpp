#include "support/LineServer.h"

#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTest>

LineServer::LineServer()
{
    m_server.listen(QHostAddress::LocalHost, 0);
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *s = m_server.nextPendingConnection()) {
            connect(s, &QTcpSocket::readyRead, this, [this, s] {
                const QByteArray bytes = s->readAll();
                raw += bytes;
                m_pending += bytes;
                int nl;
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
