#include "core/VoxError.h"
#include "net/RiskCommand.h"
#include "net/RiskOutbox.h"
#include "net/VoxLog.h"
#include "net/VoxService.h"
#include "support/LineServer.h"
#include "support/TestMain.h"

#include <QFile>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

namespace {
// The rows a risk manager would keep for the lines it applied.
struct FakeRows {
    QHash<RiskRowKey, QString> rows;
    QList<int> asked; // keys per read-back
    bool failing = false;

    void apply(const QString &line)
    {
        const ParsedRiskCommand c = parseRiskCommand(line);
        if (c.set)
            rows.insert(c.key, c.value);
        else
            rows.remove(c.key);
    }
    void applyAll(const QStringList &lines)
    {
        for (const QString &line : lines)
            apply(line);
    }
    RiskOutbox::ReadBack readBack()
    {
        return [this](const QList<RiskRowKey> &keys) {
            asked << int(keys.size());
            if (failing)
                throw VoxError(QStringLiteral("connection lost"));
            QHash<RiskRowKey, QString> present;
            for (const RiskRowKey &key : keys)
                if (rows.contains(key))
                    present.insert(key, rows.value(key));
            return present;
        };
    }
};

QString set(const QString &attribute, const QString &value, const QString &account)
{
    return riskSetCommand(attribute, value, QLatin1String(voxRisk::OrderServer), QLatin1String(voxRisk::Account), account);
}

QString unset(const QString &attribute, const QString &account)
{
    return riskUnsetCommand(attribute, QLatin1String(voxRisk::OrderServer), QLatin1String(voxRisk::Account), account);
}

using Outcome = RiskOutbox::Outcome;

// "outcome:command" of each signal, in order.
QStringList outcomes(const QSignalSpy &spy)
{
    QStringList out;
    for (const QList<QVariant> &args : spy) {
        const auto kind = args.at(0).value<Outcome>();
        const QString name = kind == Outcome::Sent ? QStringLiteral("sent")
            : kind == Outcome::Confirmed           ? QStringLiteral("confirmed")
                                                   : QStringLiteral("unconfirmed");
        out << name + QLatin1Char(':') + args.at(1).toString();
    }
    return out;
}

quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}
} // namespace

class TestRiskOutbox : public QObject
{
    Q_OBJECT
private:
    QDateTime m_now;
    std::unique_ptr<FakeRows> m_rows;
    std::unique_ptr<RiskOutbox> m_outbox;

    void advance(int msec) { m_now = m_now.addMSecs(msec); }

private slots:
    void init()
    {
        m_now = QDateTime(QDate(2026, 3, 2), QTime(9, 30), Qt::UTC);
        m_rows = std::make_unique<FakeRows>();
        m_outbox = std::make_unique<RiskOutbox>(m_rows->readBack());
        m_outbox->setClock([this] { return m_now; });
        m_outbox->setCheckInterval(3600 * 1000); // rounds run when the test says
    }

    void cleanup()
    {
        m_outbox.reset();
        voxLogClose();
    }

    void confirmsWhatTookEffectAndListsTheRest()
    {
        QTemporaryDir dir;
        const QString logPath = dir.filePath(QStringLiteral("line.log"));
        voxLogSetFileName(logPath);
        LineServer server;
        voxServiceClient client(nullptr, QStringLiteral("VOX_RISKMAN"), QStringLiteral("127.0.0.1"), server.port());
        QSignalSpy spy(m_outbox.get(), &RiskOutbox::outcome);
        const QStringList sent{set(QStringLiteral("UPFR"), QStringLiteral("0.5"), QStringLiteral("A1")),
                               riskFlagCommand(true, QLatin1String(voxRisk::Suspend), QLatin1String(voxRisk::Internet),
                                               QLatin1String(voxRisk::Account), QStringLiteral("A2")),
                               unset(QStringLiteral("SELL"), QStringLiteral("A3")),
                               set(QStringLiteral("UPFR"), QStringLiteral("0.7"), QStringLiteral("A4"))};
        for (const QString &command : sent)
            m_outbox->send(&client, command);
        QCOMPARE(server.take(4), sent);
        m_rows->applyAll(sent.mid(0, 3)); // the last one is lost on the way
        QCOMPARE(m_outbox->pendingCount(QStringLiteral("VOX_RISKMAN")), 4);

        advance(RiskOutbox::DefaultSettleDelay - 1);
        m_outbox->checkNow();
        QCOMPARE(m_rows->asked, QList<int>()); // too early to read back
        advance(1);
        m_outbox->checkNow();
        QCOMPARE(m_rows->asked, QList<int>{4}); // one batch for all
        QCOMPARE(m_outbox->pendingCount(), 1);
        QVERIFY(m_outbox->unconfirmed().isEmpty());

        advance(RiskOutbox::DefaultDeadline - RiskOutbox::DefaultSettleDelay - 1);
        m_outbox->checkNow();
        QCOMPARE(m_outbox->unconfirmedCount(), 0);
        advance(1);
        QSignalSpy changed(m_outbox.get(), &RiskOutbox::changed);
        m_outbox->checkNow();
        QCOMPARE(changed.count(), 1);
        const QList<RiskOutbox::Entry> listed = m_outbox->unconfirmed();
        QCOMPARE(listed.size(), 1);
        QCOMPARE(listed.at(0).command, sent.at(3));
        QCOMPARE(listed.at(0).service, QStringLiteral("VOX_RISKMAN"));
        QCOMPARE(listed.at(0).sentAt, m_now.addMSecs(-RiskOutbox::DefaultDeadline));
        QCOMPARE(m_outbox->pendingCount(), 0);

        QCOMPARE(outcomes(spy), (QStringList{"sent:" + sent[0], "sent:" + sent[1], "sent:" + sent[2],
                                             "sent:" + sent[3], "confirmed:" + sent[0], "confirmed:" + sent[1],
                                             "confirmed:" + sent[2], "unconfirmed:" + sent[3]}));
        QFile log(logPath);
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QString text = QString::fromLatin1(log.readAll());
        QVERIFY(text.contains("Risk command sent to VOX_RISKMAN: " + sent[3]));
        QVERIFY(text.contains("Risk command confirmed by VOX_RISKMAN: " + sent[0]));
        QVERIFY(text.contains("Warning: Risk command not confirmed by VOX_RISKMAN within 60 s: " + sent[3]));
    }

    void theLastCommandForARowDecides()
    {
        LineServer server;
        voxServiceClient client(nullptr, QStringLiteral("VOX_RISKMAN"), QStringLiteral("127.0.0.1"), server.port());
        QSignalSpy spy(m_outbox.get(), &RiskOutbox::outcome);
        const QString setA1 = set(QStringLiteral("UPFR"), QStringLiteral("0.5"), QStringLiteral("A1"));
        const QString unsetA1 = unset(QStringLiteral("UPFR"), QStringLiteral("A1"));
        const QString firstA5 = set(QStringLiteral("UPFR"), QStringLiteral("0.5"), QStringLiteral("A5"));
        const QString lastA5 = set(QStringLiteral("UPFR"), QStringLiteral("0.9"), QStringLiteral("A5"));
        for (const QString &c : {setA1, unsetA1, firstA5, lastA5})
            m_outbox->send(&client, c);
        QCOMPARE(server.take(4).size(), 4);
        // A1 ends absent; A5 keeps the value of the first command only.
        m_rows->applyAll({setA1, unsetA1, firstA5});
        QCOMPARE(m_outbox->pendingCount(), 2);

        advance(RiskOutbox::DefaultSettleDelay);
        m_outbox->checkNow();
        QCOMPARE(m_rows->asked, QList<int>{2});
        advance(RiskOutbox::DefaultDeadline);
        m_outbox->checkNow();
        QCOMPARE(m_outbox->unconfirmed().size(), 1);
        QCOMPARE(m_outbox->unconfirmed().at(0).command, lastA5);
        QCOMPARE(outcomes(spy).mid(4), (QStringList{"confirmed:" + setA1, "confirmed:" + unsetA1,
                                                    "unconfirmed:" + firstA5, "unconfirmed:" + lastA5}));
    }

    void failedReadBackLeavesCommandsWaiting()
    {
        LineServer server;
        voxServiceClient client(nullptr, QStringLiteral("VOX_RISKMAN"), QStringLiteral("127.0.0.1"), server.port());
        const QString command = set(QStringLiteral("UPFR"), QStringLiteral("0.5"), QStringLiteral("A1"));
        m_outbox->send(&client, command);
        QCOMPARE(server.take(1), QStringList{command});
        m_rows->apply(command);
        m_rows->failing = true;
        advance(RiskOutbox::DefaultSettleDelay);
        m_outbox->checkNow();
        QCOMPARE(m_outbox->pendingCount(), 1);
        m_rows->failing = false;
        advance(1000);
        m_outbox->checkNow();
        QVERIFY(m_outbox->isEmpty());
        QCOMPARE(m_rows->asked, (QList<int>{1, 1}));
    }

    void queuedCommandIsReadBackOnlyAfterItLeaves()
    {
        const quint16 port = closedPort();
        voxServiceClient client(nullptr, QStringLiteral("VOX_RISKMAN"), QStringLiteral("127.0.0.1"), port);
        QSignalSpy spy(m_outbox.get(), &RiskOutbox::outcome);
        const QString command = set(QStringLiteral("SSELL"), QStringLiteral("100"), QStringLiteral("A7"));
        m_outbox->send(&client, command);
        QTRY_VERIFY(client.linkState() == voxServiceClient::LinkState::Down);
        QCOMPARE(client.queuedCount(), 1);
        advance(RiskOutbox::DefaultSettleDelay);
        m_outbox->checkNow();
        QCOMPARE(m_rows->asked, QList<int>()); // still in the queue: nothing to read
        advance(RiskOutbox::DefaultDeadline);
        m_outbox->checkNow();
        QCOMPARE(m_outbox->unconfirmedCount(), 1);

        // The risk manager comes up: the command leaves late and takes effect.
        QTcpServer late;
        QVERIFY(late.listen(QHostAddress::LocalHost, port));
        QByteArray received;
        QObject::connect(&late, &QTcpServer::newConnection, &late, [&] {
            QTcpSocket *s = late.nextPendingConnection();
            QObject::connect(s, &QTcpSocket::readyRead, s, [&received, s] { received += s->readAll(); });
        });
        client.connect();
        QTRY_COMPARE(received, command.toLatin1() + "\r\n");
        m_rows->apply(command);
        advance(RiskOutbox::DefaultSettleDelay - 1);
        m_outbox->checkNow();
        QCOMPARE(m_outbox->unconfirmedCount(), 1); // read only once it settled
        advance(1);
        m_outbox->checkNow();
        QVERIFY(m_outbox->isEmpty());
        QCOMPARE(outcomes(spy), (QStringList{"sent:" + command, "unconfirmed:" + command, "confirmed:" + command}));
        // An unconfirmed command found missing again is not read every round.
        QCOMPARE(m_rows->asked.size(), 1);
    }

    void resendAndDismiss()
    {
        LineServer server;
        voxServiceClient client(nullptr, QStringLiteral("VOX_RISKMAN"), QStringLiteral("127.0.0.1"), server.port());
        const QString a = set(QStringLiteral("UPFR"), QStringLiteral("0.5"), QStringLiteral("A1"));
        const QString b = unset(QStringLiteral("SUSPEND"), QStringLiteral("A2"));
        m_rows->rows.insert(parseRiskCommand(b).key, QString()); // A2 stays suspended
        m_outbox->send(&client, a);
        m_outbox->send(&client, b);
        QCOMPARE(server.take(2).size(), 2); // both lost
        advance(RiskOutbox::DefaultDeadline);
        m_outbox->checkNow();
        const QList<RiskOutbox::Entry> listed = m_outbox->unconfirmed();
        QCOMPARE(listed.size(), 2);
        QCOMPARE(listed.at(0).command, a);
        const int rounds = int(m_rows->asked.size());
        advance(5000);
        m_outbox->checkNow();
        QCOMPARE(int(m_rows->asked.size()), rounds); // nothing new to read

        m_outbox->resend({listed.at(0).id});
        QCOMPARE(server.take(1), QStringList{a});
        QCOMPARE(m_outbox->unconfirmedCount(), 1);
        QCOMPARE(m_outbox->pendingCount(), 1);
        m_rows->apply(a);
        advance(RiskOutbox::DefaultSettleDelay);
        m_outbox->checkNow();
        QCOMPARE(m_outbox->pendingCount(), 0);

        m_outbox->dismiss({listed.at(1).id, listed.at(0).id /* already gone */});
        QVERIFY(m_outbox->isEmpty());
    }

    // Commands sent through two clients in turn, some in the same
    // millisecond and some later, each keep their own client, service and
    // time: the one that left is confirmed, the one stuck behind a link
    // that is down expires by its own sending time.
    void interleavedCommandsKeepTheirOwnClientAndTime()
    {
        LineServer server;
        voxServiceClient up(nullptr, QStringLiteral("VOX_RISKMAN"), QStringLiteral("127.0.0.1"), server.port());
        voxServiceClient down(nullptr, QStringLiteral("VOX_TWM"), QStringLiteral("127.0.0.1"), closedPort());
        const QString a1 = set(QStringLiteral("UPFR"), QStringLiteral("0.5"), QStringLiteral("A1"));
        const QString b1 = set(QStringLiteral("UPFR"), QStringLiteral("0.6"), QStringLiteral("B1"));
        const QString a2 = unset(QStringLiteral("SUSPEND"), QStringLiteral("A2"));
        const QString a3 = set(QStringLiteral("SSELL"), QStringLiteral("100"), QStringLiteral("A3"));
        const QString b2 = set(QStringLiteral("SSELL"), QStringLiteral("200"), QStringLiteral("B2"));
        const QString b3 = unset(QStringLiteral("SELLONLY"), QStringLiteral("B3"));
        m_outbox->send(&up, a1);
        m_outbox->send(&down, b1);
        m_outbox->send(&up, a2);
        up.sendMessage(QStringLiteral("PING|")); // not the outbox's
        m_outbox->send(&up, a3);
        m_outbox->send(&down, b2);
        advance(5);
        m_outbox->send(&down, b3);
        QCOMPARE(server.take(4), (QStringList{a1, a2, QStringLiteral("PING|"), a3}));
        m_rows->applyAll({a1, a2, a3});

        advance(RiskOutbox::DefaultSettleDelay);
        m_outbox->checkNow();
        QCOMPARE(m_outbox->pendingCount(QStringLiteral("VOX_RISKMAN")), 0);
        QCOMPARE(m_outbox->pendingCount(QStringLiteral("VOX_TWM")), 3);
        QCOMPARE(m_rows->asked, QList<int>{3});

        advance(RiskOutbox::DefaultDeadline - RiskOutbox::DefaultSettleDelay - 5);
        m_outbox->checkNow();
        QCOMPARE(m_outbox->unconfirmedCount(QStringLiteral("VOX_TWM")), 2);
        advance(5);
        m_outbox->checkNow();
        const QList<RiskOutbox::Entry> listed = m_outbox->unconfirmed();
        QCOMPARE(listed.size(), 3);
        QCOMPARE(listed.at(0).command, b1);
        QCOMPARE(listed.at(2).command, b3);
        QCOMPARE(listed.at(0).service, QStringLiteral("VOX_TWM"));
        QCOMPARE(listed.at(1).sentAt, listed.at(0).sentAt);
        QCOMPARE(listed.at(1).sentAt.msecsTo(listed.at(2).sentAt), 5);
    }

    void resendWithoutItsClientRaises()
    {
        auto client = std::make_unique<voxServiceClient>(nullptr, QStringLiteral("VOX_RISKMAN"),
                                                         QStringLiteral("127.0.0.1"), closedPort());
        m_outbox->send(client.get(), set(QStringLiteral("UPFR"), QStringLiteral("1"), QStringLiteral("A1")));
        advance(RiskOutbox::DefaultDeadline);
        m_outbox->checkNow();
        client.reset();
        const quint64 id = m_outbox->unconfirmed().at(0).id;
        QVERIFY_THROWS_EXCEPTION(VoxError, m_outbox->resend({id}));
        QCOMPARE(m_outbox->unconfirmedCount(), 1);
    }

    void commandsAreTakenApartByField()
    {
        const ParsedRiskCommand c = parseRiskCommand(QStringLiteral("set|UPFR|0.5 |ORD|10|A1  |"));
        QVERIFY(c.valid);
        QVERIFY(c.set);
        QCOMPARE(c.key, (RiskRowKey{"UPFR", "ORD", "10", "A1"}));
        QCOMPARE(c.value, QStringLiteral("0.5"));
        QVERIFY(!parseRiskCommand(QStringLiteral("unset|UPFR||ORD|10|A1|")).set);
        QVERIFY(!parseRiskCommand(QStringLiteral("PING|")).valid);
        QVERIFY(!parseRiskCommand(QStringLiteral("drop|UPFR||ORD|10|A1|")).valid);
        QVERIFY(!parseRiskCommand(QStringLiteral("set|UPFR||ORD|10|A1")).valid);
    }
};

VOX_TEST_MAIN(TestRiskOutbox)
#include "tst_riskoutbox.moc"
