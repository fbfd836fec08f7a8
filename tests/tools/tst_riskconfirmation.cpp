#include "db/DbConnection.h"
#include "net/RiskCommand.h"
#include "net/RiskOutbox.h"
#include "net/VoxService.h"
#include "shell/RiskConfirmation.h"
#include "support/TestDb.h"
#include "support/RiskManProcess.h"
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
    RiskManProcess m_riskman{QStringLiteral(VOXRISKMAN_PATH)};

    bool startRiskMan() { return m_riskman.start(m_dir->path()); }
    void killRiskMan() { m_riskman.kill(); }

    // The numbers of the commands the risk manager logged as applied, in
    // the order it applied them.
    QList<int> appliedLog()
    {
        QList<int> out;
        for (const QByteArray &line : m_riskman.output().split('\n')) {
            const qsizetype at = line.indexOf(" applied set|UPFR|");
            if (at < 0)
                continue;
            const QList<QByteArray> fields = line.mid(at + 9).split('|');
            out << fields.value(5).mid(1).toInt();
        }
        return out;
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

    static int indexOf(const QString &command)
    {
        return command.section(QLatin1Char('|'), 5, 5).mid(1).toInt();
    }

    bool hasArrived(int i)
    {
        return TestDb::scalar(m_conn,
                              QStringLiteral("SELECT COUNT(*) FROM riskman_file WHERE attribute = 'UPFR' AND "
                                             "receiverid = ? AND value = ?"),
                              {QStringLiteral("A%1").arg(i, 5, 10, QLatin1Char('0')), QString::number(i % 97)})
                   .toInt()
            == 1;
    }

    QSet<int> arrivedIndexes(int count)
    {
        QSet<int> out;
        for (const QString &c : arrived(count))
            out.insert(indexOf(c));
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
        m_riskman.reset();
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

    // Ten cuts while ten thousand commands flow. At each cut a burst is on
    // its way; then commands are sent while the console knows the link is
    // down, and more once the risk manager is back. A cut can lose only
    // lines the socket had taken from the queue and the dying program had
    // not applied: a run ending at the last line taken before the console
    // saw the link go down.
    void tenRestartsLoseOnlyLinesInFlightAndListThem()
    {
        // The risk manager's table need not survive a power cut here: one
        // disk flush a command would make the run needlessly long.
        TestDb::writeVoxIni(m_dir->path(), m_conn + QStringLiteral(";SyncPragma=OFF"), m_port);
        QVERIFY(startRiskMan());
        DbConnection db;
        db.setParams(m_conn, {}, {});
        QDateTime now = QDateTime::currentDateTimeUtc();
        RiskOutbox outbox(riskRowReadBack(&db));
        outbox.setClock([&now] { return now; });
        outbox.setCheckInterval(3600 * 1000);
        voxServiceClient client(nullptr, QStringLiteral("VOX_RISKMAN"), QStringLiteral("127.0.0.1"), m_port);
        client.setReconnectInterval(50);
        client.setPingEnabled(false);

        constexpr int Count = 10000;
        constexpr int Cuts = 10;
        constexpr int PerCut = Count / Cuts;
        constexpr int Burst = 150;
        constexpr int IntoDeadLink = 20;
        constexpr int WhileDown = 230;
        constexpr int AfterStart = 100;
        QHash<int, quint64> serialOf;
        QList<quint64> takenAtCut;
        QList<quint64> burstAt; // the first line of each cut's burst
        QSet<int> sentWhileDown;
        int i = 0;
        auto send = [&] {
            outbox.send(&client, command(i));
            serialOf.insert(i, client.lastQueuedSerial());
            ++i;
        };
        for (int cut = 0; cut < Cuts; ++cut) {
            const int end = i + PerCut;
            send();
            QTRY_VERIFY_WITH_TIMEOUT(client.isConnected(), 30000);
            while (i < end - Burst - IntoDeadLink - WhileDown - AfterStart) {
                send();
                if (i % 10 == 0)
                    QCoreApplication::processEvents();
            }
            // The risk manager has caught up before the burst.
            QTRY_VERIFY_WITH_TIMEOUT(hasArrived(i - 1), 60000);
            burstAt << client.lastQueuedSerial() + 1;
            while (i < end - IntoDeadLink - WhileDown - AfterStart)
                send();
            killRiskMan();
            // Lines the console writes before it has seen the far end go.
            while (i < end - WhileDown - AfterStart)
                send();
            QTRY_VERIFY_WITH_TIMEOUT(!client.isConnected(), 30000);
            takenAtCut << client.lastPassedSerial();
            while (i < end - AfterStart) {
                sentWhileDown.insert(i);
                send();
            }
            QVERIFY(startRiskMan());
            while (i < end)
                send();
            // What waited for the link is applied before the next cut.
            QTRY_VERIFY_WITH_TIMEOUT(hasArrived(end - 1), 60000);
        }
        QTRY_VERIFY_WITH_TIMEOUT(client.queuedCount() == 0, 60000);
        // One link applies in order: the last line there means all before it.
        QTRY_VERIFY_WITH_TIMEOUT(hasArrived(Count - 1), 120000);

        now = now.addMSecs(RiskOutbox::DefaultDeadline);
        outbox.checkNow();
        QCOMPARE(outbox.pendingCount(), 0);
        const QSet<int> delivered = arrivedIndexes(Count);
        QMap<quint64, int> listed; // by serial
        for (const RiskOutbox::Entry &e : outbox.unconfirmed())
            listed.insert(serialOf.value(indexOf(e.command)), indexOf(e.command));
        QCOMPARE(qsizetype(listed.size() + delivered.size()), qsizetype(Count));
        for (int n : std::as_const(listed))
            QVERIFY2(!delivered.contains(n), qPrintable(QStringLiteral("command %1 arrived and is listed").arg(n)));
        for (int n : std::as_const(sentWhileDown))
            QVERIFY2(delivered.contains(n), qPrintable(QStringLiteral("command %1 sent while down is lost").arg(n)));

        // What each cut lost: a run of lines the socket had taken, up to the
        // last one taken before the link was seen down, none of them one the
        // risk manager had applied before the burst.
        quint64 from = 0;
        int most = 0;
        QStringList perCut;
        for (qsizetype c = 0; c < takenAtCut.size(); ++c) {
            const quint64 taken = takenAtCut.at(c);
            QList<quint64> lost;
            for (auto it = listed.lowerBound(from + 1); it != listed.end() && it.key() <= taken; ++it)
                lost << it.key();
            if (!lost.isEmpty()) {
                QVERIFY(lost.first() >= burstAt.at(c));
                QCOMPARE(lost.last(), taken);
                QCOMPARE(lost.last() - lost.first() + 1, quint64(lost.size()));
            }
            most = qMax(most, int(lost.size()));
            perCut << QString::number(lost.size());
            from = taken;
        }
        QVERIFY2(listed.isEmpty() || listed.lastKey() <= takenAtCut.last(), "a line not in flight at a cut is lost");
        qInfo("lines lost per cut: %s (most %d; each cut had a burst of %d lines and %d more written after the "
              "kill)",
              qPrintable(perCut.join(QLatin1Char(' '))), most, Burst, IntoDeadLink);
        QVERIFY2(!listed.isEmpty(), "no cut lost a line: the test proves nothing");

        // The applied log: every line once, in the order sent. A line is in
        // the table before its log line reaches this process, so the log is
        // read until it has caught up; a kill between a commit and its log
        // line hides at most one line a cut.
        QList<int> log;
        QTRY_VERIFY_WITH_TIMEOUT((log = appliedLog()).size() >= delivered.size() - Cuts, 20000);
        for (qsizetype n = 1; n < log.size(); ++n)
            QVERIFY2(log.at(n) > log.at(n - 1), qPrintable(QStringLiteral("%1 applied after %2").arg(log.at(n)).arg(log.at(n - 1))));

        // Resend makes every lost line arrive, once.
        QList<quint64> ids;
        for (const RiskOutbox::Entry &e : outbox.unconfirmed())
            ids << e.id;
        outbox.resend(ids);
        QTRY_VERIFY_WITH_TIMEOUT(arrivedIndexes(Count).size() == Count, 60000);
        now = now.addMSecs(RiskOutbox::DefaultSettleDelay);
        outbox.checkNow();
        QVERIFY(outbox.isEmpty());
        log = appliedLog();
        QCOMPARE(QSet<int>(log.cbegin(), log.cend()).size(), log.size());
    }
};

VOX_TEST_MAIN(TestRiskConfirmation)
#include "tst_riskconfirmation.moc"
