#include "db/DbConnection.h"
#include "net/RiskCommand.h"
#include "net/RiskOutbox.h"
#include "net/VoxService.h"
#include "shell/RiskConfirmation.h"
#include "support/TestDb.h"
#include "support/TestMain.h"

#include <QProcess>
#include <QSet>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

// Risk commands confirmed against the stand-in risk manager's table while
// the program is killed and started again as commands flow.
class TestRiskConfirmation : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_conn;
    quint16 m_port = 0;
    std::unique_ptr<QProcess> m_riskman;

    bool startRiskMan()
    {
        m_riskman = std::make_unique<QProcess>();
        m_riskman->setWorkingDirectory(m_dir->path());
        m_riskman->start(QStringLiteral(VOXRISKMAN_PATH), QStringList());
        if (!m_riskman->waitForStarted())
            return false;
        QByteArray out;
        return QTest::qWaitFor([&] { return (out += m_riskman->readAllStandardOutput()).contains("listening on"); },
                               10000);
    }

    void killRiskMan()
    {
        m_riskman->kill();
        m_riskman->waitForFinished();
        m_riskman.reset();
    }

    static QString command(int i)
    {
        const QString account = QStringLiteral("A%1").arg(i, 5, 10, QLatin1Char('0'));
        return riskSetCommand(QLatin1String(voxRisk::UpFrontRatio), QString::number(i % 97),
                              QLatin1String(voxRisk::OrderServer), QLatin1String(voxRisk::Account), account);
    }

    // The commands whose row riskman_file holds with the value sent.
    QSet<QString> arrived(int count)
    {
        QSet<QString> out;
        const QList<QStringList> rows = TestDb::rows(
            m_conn, QStringLiteral("SELECT receiverid, value FROM riskman_file WHERE attribute = 'UPFR'"));
        QSet<QString> present;
        for (const QStringList &r : rows)
            present.insert(r.at(0) + QLatin1Char('|') + r.at(1));
        for (int i = 0; i < count; ++i) {
            if (present.contains(QStringLiteral("A%1|%2").arg(i, 5, 10, QLatin1Char('0')).arg(i % 97)))
                out.insert(command(i));
        }
        return out;
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_conn = TestDb::freshSqlite(m_dir->path());
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        m_port = probe.serverPort();
        probe.close();
        TestDb::writeVoxIni(m_dir->path(), m_conn, m_port);
    }

    void cleanup()
    {
        if (m_riskman)
            killRiskMan();
        m_dir.reset();
    }

    void lostCommandsAreListedAndAResendDelivers()
    {
        QVERIFY(startRiskMan());
        DbConnection db;
        db.setParams(m_conn, {}, {});
        QDateTime now = QDateTime::currentDateTimeUtc();
        RiskOutbox outbox(riskRowReadBack(&db));
        outbox.setClock([&now] { return now; });
        outbox.setCheckInterval(3600 * 1000);
        voxServiceClient client(nullptr, QStringLiteral("VOX_RISKMAN"), QStringLiteral("127.0.0.1"), m_port);
        client.setReconnectInterval(100);
        QSignalSpy outcomes(&outbox, &RiskOutbox::outcome);

        // Paced commands, a burst into a risk manager that has just died,
        // commands while it is away, and more once it is back.
        constexpr int Count = 400;
        for (int i = 0; i < Count; ++i) {
            if (i == 150)
                killRiskMan();
            if (i == 250)
                QVERIFY(startRiskMan());
            outbox.send(&client, command(i));
            if (i < 150 || i >= 200)
                QTest::qWait(i % 10 == 0 ? 5 : 0);
        }
        QTRY_VERIFY_WITH_TIMEOUT(client.isConnected() && client.queuedCount() == 0, 20000);
        // Everything the link still carries is applied before the table is read.
        const QString last = command(Count - 1);
        QTRY_VERIFY_WITH_TIMEOUT(arrived(Count).contains(last), 20000);
        QTest::qWait(300);

        now = now.addMSecs(RiskOutbox::DefaultDeadline);
        outbox.checkNow();
        const QSet<QString> delivered = arrived(Count);
        QSet<QString> listed;
        for (const RiskOutbox::Entry &e : outbox.unconfirmed())
            listed.insert(e.command);
        qInfo("%lld of %d commands lost", qlonglong(listed.size()), Count);
        QVERIFY2(!listed.isEmpty(), "the dying risk manager lost nothing: the test proves nothing");
        QVERIFY(delivered.size() > Count / 2);
        QCOMPARE(listed.size() + delivered.size(), Count);
        QVERIFY(!listed.intersects(delivered));
        QCOMPARE(outbox.pendingCount(), 0);
        QCOMPARE(outcomes.count(), 2 * Count);

        // A resend makes every lost command arrive.
        QList<quint64> ids;
        for (const RiskOutbox::Entry &e : outbox.unconfirmed())
            ids << e.id;
        outbox.resend(ids);
        QTRY_VERIFY_WITH_TIMEOUT(arrived(Count).size() == Count, 20000);
        now = now.addMSecs(RiskOutbox::DefaultSettleDelay);
        outbox.checkNow();
        QVERIFY(outbox.isEmpty());
    }
};

VOX_TEST_MAIN(TestRiskConfirmation)
#include "tst_riskconfirmation.moc"
