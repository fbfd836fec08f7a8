#include "core/VoxError.h"
#include "net/VoxLog.h"
#include "net/VoxService.h"
#include "support/FakeDialogs.h"
#include "support/LineServer.h"
#include "support/TestFiles.h"
#include "support/TestMain.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

class TestServiceClient : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void init()
    {
        m_logPath = m_dir.filePath(QStringLiteral("client.log"));
        QFile::remove(m_logPath);
        voxLogSetFileName(m_logPath);
    }

    void cleanup() { voxLogClose(); }

    void configurationErrors_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("message");
        QTest::newRow("no section") << QByteArray("[OTHER]\nhost=x\nport=1\n")
                                    << "Cannot find section VOX_RISKMAN in configuration file";
        QTest::newRow("empty section") << QByteArray("[VOX_RISKMAN]\n")
                                       << "Cannot find section VOX_RISKMAN in configuration file";
        QTest::newRow("no host") << QByteArray("[VOX_RISKMAN]\nport=5000\n")
                                 << "Cannot get host name of service VOX_RISKMAN";
        QTest::newRow("port abc") << QByteArray("[VOX_RISKMAN]\nhost=localhost\nport=abc\n")
                                  << "Cannot get port number of service VOX_RISKMAN";
        QTest::newRow("no port") << QByteArray("[VOX_RISKMAN]\nhost=localhost\n")
                                 << "Cannot get port number of service VOX_RISKMAN";
        QTest::newRow("trailing text") << QByteArray("[VOX_RISKMAN]\nhost=localhost\nport=50x\n")
                                       << "Cannot get port number of service VOX_RISKMAN";
    }

    void configurationErrors()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QString, message);
        writeIni(ini);
        QObject owner;
        try {
            voxServiceClient client(&owner, QStringLiteral("VOX_RISKMAN"));
            QFAIL("no error raised");
        } catch (const VoxError &e) {
            QCOMPARE(e.message(), message);
        }
        QVERIFY(owner.children().isEmpty());
    }

    void portForms()
    {
        const QList<std::pair<QString, int>> good = {
            {"5000", 5000}, {"  5000", 5000}, {"$1388", 5000}, {"0x1388", 5000}, {"0X1f90", 8080}};
        for (const auto &[text, value] : good) {
            int port = 0;
            QVERIFY2(voxService::parsePort(text, &port), qPrintable(text));
            QCOMPARE(port, value);
        }
        for (const char *text : {"", " ", "$", "0x", "12 ", "1.5", "-80", "70000", "0", "0x1g"}) {
            int port = 0;
            QVERIFY2(!voxService::parsePort(text, &port), qPrintable(text));
        }

        writeIni("[vox_riskman]\nHOST=127.0.0.1\nPort=$1388\n");
        QObject owner;
        voxServiceClient client(&owner, QStringLiteral("VOX_RISKMAN"));
        QCOMPARE(client.host(), QStringLiteral("127.0.0.1"));
        QCOMPARE(client.port(), 5000);
        QCOMPARE(client.parent(), &owner);
        QCOMPARE(client.socket()->state(), QAbstractSocket::UnconnectedState); // lazy
    }

    void firstCommandsConnectAndArriveInOrder()
    {
        LineServer server;
        writeIni("[VOX_RISKMAN]\nhost=127.0.0.1\nport=" + QByteArray::number(server.port()) + "\n");
        voxServiceClient client(nullptr, QStringLiteral("VOX_RISKMAN"));
        QVERIFY(!client.isConnecting());
        client.sendMessage(QStringLiteral("set|SUSPEND||ORD|10|A1|"));
        QVERIFY(client.isConnecting());
        client.sendMessage(QStringLiteral("unset|SELL||ORD|10|A1|"));
        client.sendMessage(QString::fromLatin1("set|UPFR|\xe9|ORD|0|00005|"));
        const QByteArray expected = "set|SUSPEND||ORD|10|A1|\r\nunset|SELL||ORD|10|A1|\r\n"
                                    "set|UPFR|\xe9|ORD|0|00005|\r\n";
        QTRY_COMPARE(server.all(), expected);
        QCOMPARE(server.received.size(), 1);
        QVERIFY(client.isConnected());
        QCOMPARE(client.socket()->socketOption(QAbstractSocket::KeepAliveOption).toInt(), 1);

        const QByteArray log = TestFiles::read(m_logPath);
        const QRegularExpression service(
            QStringLiteral("^Service VOX_RISKMAN Local 127\\.0\\.0\\.1:(\\d+) to Remote 127\\.0\\.0\\.1:%1\n")
                .arg(server.port()));
        const auto match = service.match(QString::fromLatin1(log));
        QVERIFY2(match.hasMatch(), log.constData());
        QCOMPARE(match.captured(1).toInt(), int(client.socket()->localPort()));
        QVERIFY(!log.contains("KeepAlive"));
    }

    void partiallyAcceptedWritesKeepOrder()
    {
        LineServer server;
        voxServiceClient client(nullptr, QStringLiteral("T"), QStringLiteral("127.0.0.1"), server.port());
        client.setSendLimit(7); // the socket takes at most 7 pending bytes at a time
        QByteArray expected;
        for (int i = 0; i < 50; ++i) {
            const QString text = QStringLiteral("set|UPFR|%1|ORD|10|ACCOUNT%2|").arg(i).arg(i, 5, 10, QLatin1Char('0'));
            client.sendMessage(text);
            expected += text.toLatin1() + "\r\n";
        }
        QTRY_COMPARE(server.all(), expected);
        QCOMPARE(client.queuedCount(), 0);
    }

    void peerCloseThenSendReconnectsAtOnce()
    {
        LineServer server;
        voxServiceClient client(nullptr, QStringLiteral("VOX_RISKMAN"), QStringLiteral("127.0.0.1"), server.port());
        QList<bool> status;
        client.setStatusHandler([&](QTcpSocket *socket, bool up) {
            QCOMPARE(socket, client.socket());
            status << up;
        });
        client.sendMessage(QStringLiteral("first|"));
        QTRY_COMPARE(server.all(), QByteArray("first|\r\n"));
        server.closeClients();
        QTRY_VERIFY(!client.isConnected());
        QVERIFY(client.isReconnectTimerActive());
        QCOMPARE(client.reconnectInterval(), 60000);
        QCOMPARE(status, (QList<bool>{true, false}));
        QVERIFY(TestFiles::read(m_logPath).contains(
            QStringLiteral("Disconnect VOX_RISKMAN Local 127.0.0.1:").toLatin1()));

        client.sendMessage(QStringLiteral("second|"));
        QTRY_COMPARE(server.received.size(), 2);
        QTRY_COMPARE(server.received.at(1), QByteArray("second|\r\n"));
        QVERIFY(!client.isReconnectTimerActive());
        QVERIFY(!TestFiles::read(m_logPath).contains("Reconnecting"));
    }

    void reconnectTimerRestoresTheLink()
    {
        LineServer server;
        voxServiceClient client(nullptr, QStringLiteral("VOX_RISKMAN"), QStringLiteral("127.0.0.1"), server.port());
        client.setReconnectInterval(100);
        client.sendMessage(QStringLiteral("first|"));
        QTRY_COMPARE(server.all(), QByteArray("first|\r\n"));
        server.closeClients();
        QTRY_COMPARE(server.received.size(), 2);
        QTRY_VERIFY(client.isConnected());
        QVERIFY(!client.isReconnectTimerActive());
        QVERIFY(TestFiles::read(m_logPath).contains("\nReconnecting to Server VOX_RISKMAN\n"));
        QCOMPARE(server.received.at(1), QByteArray());
    }

    void serverDownQueuesEverythingUntilItComesUp()
    {
        FakeDialogs dialogs;
        const quint16 port = freePort();
        voxServiceClient client(nullptr, QStringLiteral("VOX_RISKMAN"), QStringLiteral("127.0.0.1"), port);
        client.setReconnectInterval(100);
        client.sendMessage(QStringLiteral("c1|"));
        QTRY_VERIFY(TestFiles::read(m_logPath).contains("Warning: Connect socket error 10061\n"));
        QVERIFY(TestFiles::read(m_logPath).contains(
            QStringLiteral("Disconnect VOX_RISKMAN Local 0.0.0.0:0 to Remote 127.0.0.1:%1\n").arg(port).toLatin1()));
        client.sendMessage(QStringLiteral("c2|"));
        QTRY_VERIFY(TestFiles::read(m_logPath).count("Reconnecting to Server VOX_RISKMAN") >= 2);
        client.sendMessage(QStringLiteral("c3|"));
        QCOMPARE(client.queuedCount(), 3);

        LineServer server(port);
        QVERIFY(server.isListening());
        QTRY_VERIFY(client.isConnected());
        QTRY_COMPARE(server.all(), QByteArray("c1|\r\nc2|\r\nc3|\r\n"));
        QCOMPARE(server.received.size(), 1);
        QTest::qWait(300); // no second copy comes later
        QCOMPARE(server.all(), QByteArray("c1|\r\nc2|\r\nc3|\r\n"));
        QVERIFY(dialogs.entries.isEmpty());
    }

    void socketErrorsNeverReachTheOperator()
    {
        FakeDialogs dialogs;
        voxServiceClient refused(nullptr, QStringLiteral("A"), QStringLiteral("127.0.0.1"), freePort());
        voxServiceClient unknown(nullptr, QStringLiteral("B"), QStringLiteral("no-such-host.invalid"), 5000);
        refused.sendMessage(QStringLiteral("x|"));
        unknown.sendMessage(QStringLiteral("y|"));
        QTRY_VERIFY(!refused.isConnecting() && !unknown.isConnecting());
        QTRY_VERIFY_WITH_TIMEOUT(TestFiles::read(m_logPath).contains("Warning: Connect socket error 11001\n"), 20000);
        QVERIFY(TestFiles::read(m_logPath).contains("Warning: Connect socket error 10061\n"));
        QVERIFY(refused.isReconnectTimerActive());
        QTest::qWait(50);
        QVERIFY(dialogs.entries.isEmpty());
    }

    void keepaliveOnlyAfterMoreThanThirtyIdleSeconds()
    {
        LineServer server;
        const QDateTime t0 = QDateTime::currentDateTime();
        QDateTime now = t0;
        voxServiceClient client(nullptr, QStringLiteral("VOX_RISKMAN"), QStringLiteral("127.0.0.1"), server.port());
        QCOMPARE(client.pingInterval(), 30000);
        client.setClock([&] { return now; });

        now = t0.addSecs(3600);
        client.doping(); // never opens a link by itself
        QCOMPARE(client.socket()->state(), QAbstractSocket::UnconnectedState);

        now = t0;
        client.sendMessage(QStringLiteral("cmd|"));
        QTRY_COMPARE(server.all(), QByteArray("cmd|\r\n"));
        now = t0.addSecs(30);
        client.doping();
        now = t0.addMSecs(30999);
        client.doping();
        QTest::qWait(50);
        QCOMPARE(server.all(), QByteArray("cmd|\r\n"));
        now = t0.addSecs(31);
        client.doping();
        QTRY_COMPARE(server.all(), QByteArray("cmd|\r\nPING|\r\n"));

        // Received data counts as activity too.
        now = t0.addSecs(100);
        server.sockets.first()->write("PING|\r\n");
        QTRY_COMPARE(client.lastActivity(), now);
        now = t0.addSecs(130);
        client.doping();
        QTest::qWait(50);
        QCOMPARE(server.all(), QByteArray("cmd|\r\nPING|\r\n"));
        now = t0.addSecs(131);
        client.doping();
        QTRY_COMPARE(server.all(), QByteArray("cmd|\r\nPING|\r\nPING|\r\n"));
    }

    void pingTimerDrivesTheKeepalive()
    {
        LineServer server;
        QDateTime now = QDateTime::currentDateTime();
        voxServiceClient client(nullptr, QStringLiteral("S"), QStringLiteral("127.0.0.1"), server.port());
        client.setClock([&] { return now; });
        client.setPingInterval(50);
        client.sendMessage(QStringLiteral("cmd|"));
        QTRY_COMPARE(server.all(), QByteArray("cmd|\r\n"));
        now = now.addSecs(2);
        QTRY_VERIFY(server.all().startsWith("cmd|\r\nPING|\r\n"));
    }

    void receivedMessagesGoToTheHandler()
    {
        LineServer server;
        voxServiceClient client(nullptr, QStringLiteral("S"), QStringLiteral("127.0.0.1"), server.port());
        QStringList got;
        client.setMessageHandler([&](QTcpSocket *, const QString &message) {
            got << message;
            if (message == QStringLiteral("boom"))
                throw VoxError(QStringLiteral("handler failed"));
        });
        client.sendMessage(QStringLiteral("hello|"));
        QTRY_COMPARE(server.received.size(), 1);
        server.sockets.first()->write("boom\r\n\r\nnext\xe9\npart");
        QTRY_COMPARE(got, (QStringList{"boom", QString::fromLatin1("next\xe9")}));
        server.sockets.first()->write("ial\r\n");
        QTRY_COMPARE(got.size(), 3);
        QCOMPARE(got.last(), QStringLiteral("partial"));
        const QByteArray log = TestFiles::read(m_logPath);
        QVERIFY2(log.contains("handler failed"), log.constData());
        QVERIFY(log.contains("\nboom\n"));
    }

    void largeIncomingBurstIsReadCompletely()
    {
        LineServer server;
        voxServiceClient client(nullptr, QStringLiteral("S"), QStringLiteral("127.0.0.1"), server.port());
        int count = 0;
        client.setMessageHandler([&](QTcpSocket *, const QString &) { ++count; });
        client.sendMessage(QStringLiteral("hello|"));
        QTRY_COMPARE(server.received.size(), 1);
        QByteArray burst;
        for (int i = 0; i < 20000; ++i)
            burst += "PING|\r\n";
        server.sockets.first()->write(burst);
        QTRY_COMPARE(count, 20000);
    }

    void destroyingTheClientStopsEverything()
    {
        LineServer server;
        QObject owner;
        QPointer<voxServiceClient> client =
            new voxServiceClient(&owner, QStringLiteral("S"), QStringLiteral("127.0.0.1"), server.port());
        client->setReconnectInterval(50);
        client->sendMessage(QStringLiteral("x|"));
        QTRY_COMPARE(server.all(), QByteArray("x|\r\n"));
        delete client.data();
        QTRY_VERIFY(!server.sockets.first() || server.sockets.first()->state() != QAbstractSocket::ConnectedState
                    || server.sockets.first()->bytesAvailable() == 0);
        QTest::qWait(200); // no reconnect attempt after the end
        QCOMPARE(server.received.size(), 1);
        QVERIFY(owner.children().isEmpty());
    }

    void peerOrderlyCloseLoggedAsSocketError()
    {
        LineServer server;
        voxServiceClient client(nullptr, QStringLiteral("VOX_RISKMAN"), QStringLiteral("127.0.0.1"), server.port());
        client.sendMessage(QStringLiteral("first|"));
        QTRY_COMPARE(server.all(), QByteArray("first|\r\n"));
        server.closeClients();
        QTRY_VERIFY(!client.isConnected());
        QTest::qWait(50);
        const QByteArray log = TestFiles::read(m_logPath);
        QVERIFY2(log.contains("\nDisconnect VOX_RISKMAN Local 127.0.0.1:"), log.constData());
        QVERIFY2(!log.contains("socket error"), log.constData());
        QVERIFY(!log.contains("Warning: "));
    }

    void failedAttemptsPostponeTheNextRetry()
    {
        // Every command sent while the service is down tries at once and
        // fails; the retries keep their own cadence all the same.
        voxServiceClient client(nullptr, QStringLiteral("VOX_RISKMAN"), QStringLiteral("127.0.0.1"), freePort());
        client.setReconnectInterval(300);
        QElapsedTimer clock;
        clock.start();
        int sent = 0;
        while (clock.elapsed() < 1500) {
            client.sendMessage(QStringLiteral("c%1|").arg(++sent));
            QTRY_VERIFY(!client.isConnecting());
            QTest::qWait(100);
        }
        QVERIFY(client.isReconnectTimerActive());
        const qsizetype retries = TestFiles::read(m_logPath).count("Reconnecting to Server VOX_RISKMAN");
        QVERIFY2(retries >= 2, qPrintable(QString::number(retries)));
        QCOMPARE(client.queuedCount(), qsizetype(sent));
    }

    void newLinkKeepsTheOldLinksHalfReadBytes()
    {
        LineServer server;
        voxServiceClient client(nullptr, QStringLiteral("S"), QStringLiteral("127.0.0.1"), server.port());
        QStringList got;
        client.setMessageHandler([&](QTcpSocket *, const QString &message) { got << message; });
        client.sendMessage(QStringLiteral("one|"));
        QTRY_COMPARE(server.received.size(), 1);
        server.sockets.first()->write("whole\r\nhalf of a li");
        QTRY_COMPARE(got, QStringList{"whole"});
        server.closeClients();
        QTRY_VERIFY(!client.isConnected());

        client.sendMessage(QStringLiteral("two|"));
        QTRY_COMPARE(server.received.size(), 2);
        QTRY_VERIFY(client.isConnected());
        server.sockets.at(1)->write("fresh\r\n");
        QTRY_COMPARE(got.size(), 2);
        QCOMPARE(got, (QStringList{"whole", "fresh"}));
    }

    void handlerExceptionUnwindsThroughQt()
    {
        // An error raised by a status handler stops at the notification: it
        // is reported, and the socket's own code never sees it.
        FakeDialogs dialogs;
        voxServiceClient client(nullptr, QStringLiteral("S"), QStringLiteral("127.0.0.1"), freePort());
        client.setStatusHandler([](QTcpSocket *, bool) { throw VoxError(QStringLiteral("status failed")); });
        bool unwound = false;
        try {
            emit client.socket()->connected();
        } catch (...) {
            unwound = true;
        }
        QVERIFY(!unwound);
        QCOMPARE(dialogs.texts(QStringLiteral("report")), QStringList{QStringLiteral("status failed")});
    }

    void destructorDiscardsAcceptedBytes()
    {
        LineServer server;
        auto *client = new voxServiceClient(nullptr, QStringLiteral("S"), QStringLiteral("127.0.0.1"), server.port());
        client->sendMessage(QStringLiteral("first|"));
        QTRY_VERIFY(client->isConnected());
        QTRY_COMPARE(server.all(), QByteArray("first|\r\n"));

        // Taken by the socket, and more than it takes at once, just before
        // the console ends.
        client->setSendLimit(100);
        QByteArray expected = "first|\r\n";
        for (int i = 0; i < 200; ++i) {
            const QString text = QStringLiteral("set|SUSPEND||ORD|10|A%1|").arg(i);
            client->sendMessage(text);
            expected += text.toLatin1() + "\r\n";
        }
        QVERIFY(client->queuedCount() > 0);
        delete client;
        QTRY_COMPARE(server.all(), expected);
        QCOMPARE(server.received.size(), 1);
    }

    void destructorDropsCommandsOfALinkStillConnecting()
    {
        LineServer server;
        auto *client = new voxServiceClient(nullptr, QStringLiteral("S"), QStringLiteral("127.0.0.1"), server.port());
        client->sendMessage(QStringLiteral("only|"));
        QVERIFY(client->isConnecting());
        delete client;
        QTRY_COMPARE(server.all(), QByteArray("only|\r\n"));

        // An idle client that never connected ends at once.
        QElapsedTimer clock;
        clock.start();
        delete new voxServiceClient(nullptr, QStringLiteral("S"), QStringLiteral("127.0.0.1"), freePort());
        QVERIFY(clock.elapsed() < 1000);
    }

    void destructorWaitsBoundedForAPeerThatNeverReads()
    {
        // Connections pile up in the backlog, accepted by the system but
        // never read: the bytes cannot leave.
        QTcpServer deaf;
        QVERIFY(deaf.listen(QHostAddress::LocalHost));
        deaf.pauseAccepting();
        auto *client = new voxServiceClient(nullptr, QStringLiteral("S"), QStringLiteral("127.0.0.1"), deaf.serverPort());
        client->setCloseTimeout(300);
        client->sendMessage(QStringLiteral("hello|"));
        QTRY_VERIFY(client->isConnected());
        const QString big(60000, QLatin1Char('x'));
        for (int i = 0; i < 400; ++i) // 24 MB, far beyond what the system buffers
            client->sendMessage(big);
        QElapsedTimer clock;
        clock.start();
        delete client;
        QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
    }

private:
    void writeIni(const QByteArray &content) { TestFiles::write(m_dir.filePath(QStringLiteral("vox.ini")), content); }

    TemporaryWorkDir m_dir;
    QString m_logPath;
};

VOX_TEST_MAIN(TestServiceClient)
#include "tst_serviceclient.moc"
