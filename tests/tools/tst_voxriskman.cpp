#include "RiskManServer.h"
#include "RiskStore.h"

#include "net/VoxService.h"
#include "support/LineServer.h"
#include "support/TestFiles.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QString Connection = QStringLiteral("riskman_test");

// Rows of riskman_file as "target|rtype|rid|attribute|value", sorted.
QStringList rows()
{
    QSqlQuery q(QSqlDatabase::database(Connection));
    if (!q.exec(QStringLiteral("SELECT targetsystem, receivertype, receiverid, attribute, value "
                               "FROM riskman_file ORDER BY targetsystem, receivertype, receiverid, attribute")))
        return {QStringLiteral("query failed: ") + q.lastError().text()};
    QStringList out;
    while (q.next()) {
        QStringList fields;
        for (int i = 0; i < 5; ++i)
            fields << q.value(i).toString().trimmed();
        out << fields.join(QLatin1Char('|'));
    }
    return out;
}
} // namespace

class TestVoxRiskMan : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_dbPath = m_dir->filePath(QStringLiteral("risk.db"));
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), Connection);
        db.setDatabaseName(QStringLiteral("DRIVER={SQLite3};Database=") + m_dbPath);
        QVERIFY2(db.open(), qPrintable(db.lastError().text()));
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral(
            "CREATE TABLE riskman_file (targetsystem char(15), receivertype varchar(10), "
            "receiverid char(15), attribute varchar(25), value varchar(10))")));
    }

    void cleanup()
    {
        QSqlDatabase::database(Connection).close();
        QSqlDatabase::removeDatabase(Connection);
        m_dir.reset();
    }

    void storeAppliesSetAndUnset()
    {
        RiskStore store(QSqlDatabase::database(Connection));
        using R = RiskStore::Result;
        QCOMPARE(store.apply("set|UPFR|0.5|ORD|10|A1|").kind, R::Applied);
        QCOMPARE(store.apply("set|UPFR|0.7|ORD|10|A1|").kind, R::Applied); // replaces
        QCOMPARE(store.apply("set|UPFR|0.9|ORD|0|A1|").kind, R::Applied);  // other receiver type
        QCOMPARE(store.apply("set|SUSPEND||ITS|10|A1|").kind, R::Applied);
        QCOMPARE(store.apply("set|SUSPEND||TWMADMIN|10|A1|").kind, R::Applied);
        QCOMPARE(store.apply("unset|SUSPEND||ITS|10|A1|").kind, R::Applied);
        QCOMPARE(store.apply("unset|SELL||ORD|0|00005|").kind, R::Applied); // nothing to remove
        QCOMPARE(store.apply("set|MKTRATIO|1.5|ORD|ALL|ALL|").kind, R::Applied);
        QCOMPARE(rows(), (QStringList{"ORD|0|A1|UPFR|0.9", "ORD|10|A1|UPFR|0.7",
                                      "ORD|ALL|ALL|MKTRATIO|1.5", "TWMADMIN|10|A1|SUSPEND|"}));
    }

    void storeRefusesMalformedLines_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("too few fields") << QByteArray("set|UPFR|1|ORD|10|");
        QTest::newRow("no final bar") << QByteArray("set|UPFR|1|ORD|10|A1");
        QTest::newRow("too many fields") << QByteArray("set|UPFR|1|ORD|10|A1|x|");
        QTest::newRow("unknown verb") << QByteArray("drop|UPFR|1|ORD|10|A1|");
        QTest::newRow("empty receiver") << QByteArray("set|UPFR|1|ORD|10||");
        QTest::newRow("value too long") << QByteArray("set|UPFR|12345678901|ORD|10|A1|");
        QTest::newRow("garbage") << QByteArray("\x00\xff\x01garbage", 11);
        QTest::newRow("quote") << QByteArray("set|UPFR|'; drop table riskman_file; --|ORD|10|A1|");
    }

    void storeRefusesMalformedLines()
    {
        QFETCH(QByteArray, line);
        RiskStore store(QSqlDatabase::database(Connection));
        QCOMPARE(store.apply(line).kind, RiskStore::Result::Error);
        QCOMPARE(rows(), QStringList());
        QCOMPARE(store.apply("PING|").kind, RiskStore::Result::Ping);
    }

    void injectedQuotesAreStoredAsText()
    {
        RiskStore store(QSqlDatabase::database(Connection));
        QCOMPARE(store.apply("set|SELL||ORD|0|a'b;--|").kind, RiskStore::Result::Applied);
        QCOMPARE(rows(), QStringList{"ORD|0|a'b;--|SELL|"});
    }

    void nulByteInAFieldTruncatesTheStoredValue()
    {
        RiskStore store(QSqlDatabase::database(Connection));
        const QByteArray nulLine = QByteArray("set|UPFR|1") + '\0' + "5|ORD|10|A1|";
        const RiskStore::Result result = store.apply(nulLine);
        QCOMPARE(result.kind, RiskStore::Result::Error);
        QCOMPARE(result.text, QStringLiteral("NUL byte in a field"));
        QCOMPARE(store.apply(QByteArray("set|SELL||ORD|0|A") + '\0' + "B|").kind, RiskStore::Result::Error);
        QCOMPARE(rows(), QStringList());

        // Over the wire the line gets an error reply; the next one is served.
        RiskManServer server(&store);
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, server.serverPort());
        QVERIFY(client.waitForConnected(5000));
        client.write(nulLine + "\r\nset|UPFR|2|ORD|10|A2|\r\nPING|\r\n");
        QByteArray reply;
        QTRY_VERIFY_WITH_TIMEOUT((reply += client.readAll()).contains("PING|\r\n"), 10000);
        QCOMPARE(reply, QByteArray("ERROR|NUL byte in a field|\r\nPING|\r\n"));
        QCOMPARE(rows(), QStringList{"ORD|10|A2|UPFR|2"});
    }

    void oneClientsBurstDelaysAnothersPing()
    {
        QSqlDatabase db = QSqlDatabase::database(Connection);
        QSqlQuery pragma(db);
        QVERIFY(pragma.exec(QStringLiteral("PRAGMA synchronous = OFF")));
        QVERIFY(pragma.exec(QStringLiteral("PRAGMA journal_mode = MEMORY")));
        RiskStore store(db);
        RiskManServer server(&store);
        int applied = 0;
        server.setLogger([&](const QString &line) {
            if (line.contains(QLatin1String(" applied ")))
                ++applied;
        });
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));

        QTcpSocket burst, other;
        for (QTcpSocket *s : {&burst, &other}) {
            s->connectToHost(QHostAddress::LocalHost, server.serverPort());
            QVERIFY(s->waitForConnected(5000));
        }
        constexpr int Count = 5000;
        QByteArray lines;
        for (int i = 0; i < Count; ++i)
            lines += "set|SELL||ORD|0|S" + QByteArray::number(i) + "|\r\n";
        // Both reach the server before it serves anything: the burst first,
        // then the ping. No event is processed until both are written, so
        // the outcome does not depend on how fast this machine is.
        burst.write(lines);
        for (int i = 0; i < 50 && burst.bytesToWrite() > 0; ++i)
            burst.waitForBytesWritten(100);
        QCOMPARE(burst.bytesToWrite(), qint64(0));
        other.write("PING|\r\n");
        QVERIFY(other.waitForBytesWritten(5000));
        QCOMPARE(applied, 0);

        QByteArray reply;
        QTRY_VERIFY_WITH_TIMEOUT((reply += other.readAll()).contains("PING|\r\n"), 60000);
        // Answered after a few turns, not after the burst.
        QVERIFY2(applied < Count / 2, qPrintable(QString::number(applied)));

        QTRY_COMPARE_WITH_TIMEOUT(applied, Count, 120000);
        QSqlQuery count(db);
        QVERIFY(count.exec(QStringLiteral("SELECT COUNT(*) FROM riskman_file")) && count.next());
        QCOMPARE(count.value(0).toInt(), Count);
    }

    void linesSentJustBeforeClosingAreLost()
    {
        RiskStore store(QSqlDatabase::database(Connection));
        RiskManServer server(&store);
        server.setLinesPerTurn(1);
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, server.serverPort());
        QVERIFY(client.waitForConnected(5000));
        QTRY_COMPARE(server.clientCount(), 1);
        client.write("set|SELL||ORD|0|A|\r\nset|SELL||ORD|0|B|\r\nunset|SELL||ORD|0|A|\r\n"
                     "set|SUSPEND||ORD|13|U1|\r\n");
        client.disconnectFromHost();
        QTRY_COMPARE(server.clientCount(), 0);
        QTRY_COMPARE(rows(), (QStringList{"ORD|0|B|SELL|", "ORD|13|U1|SUSPEND|"}));
    }

    void programAppliesCommandsFromSeveralClients()
    {
        const quint16 port = freePort();
        writeIni(port);
        QProcess process;
        process.setWorkingDirectory(m_dir->path());
        process.setProcessChannelMode(QProcess::SeparateChannels);
        process.start(QStringLiteral(VOXRISKMAN_PATH), QStringList());
        QVERIFY2(process.waitForStarted(), qPrintable(process.errorString()));
        QByteArray out;
        QTRY_VERIFY2_WITH_TIMEOUT((out += process.readAllStandardOutput()).contains("listening on 127.0.0.1:"),
                                  process.readAllStandardError().constData(), 10000);

        QTcpSocket first, second, vanishing;
        for (QTcpSocket *s : {&first, &second, &vanishing}) {
            s->connectToHost(QHostAddress::LocalHost, port);
            QVERIFY(s->waitForConnected(5000));
        }
        vanishing.write("set|SELL||ORD|0|000");  // half a line, then gone
        vanishing.flush();
        vanishing.abort();
        second.write(QByteArray(3 * 1024 * 1024, 'x')); // megabytes without a line end
        second.write("\r\nset|SUSPEND||ORD|13|U01|\r\n");
        first.write("set|UPFR|0.5|ORD|10|A1|\r\nnonsense\r\nPING|\r\n");
        QByteArray firstReply;
        QTRY_VERIFY_WITH_TIMEOUT((firstReply += first.readAll()).contains("PING|\r\n"), 10000);
        QVERIFY(firstReply.startsWith("ERROR|"));
        QByteArray secondReply;
        QTRY_VERIFY_WITH_TIMEOUT((secondReply += second.readAll()).contains("ERROR|line too long|"), 20000);

        QTRY_COMPARE_WITH_TIMEOUT(rows(), (QStringList{"ORD|10|A1|UPFR|0.5", "ORD|13|U01|SUSPEND|"}), 20000);

        // The console's own client, end to end, commands in order.
        voxServiceClient client(nullptr, QStringLiteral("VOX_RISKMAN"), QStringLiteral("127.0.0.1"), port);
        client.sendMessage(QStringLiteral("set|UPFR|0.6|ORD|10|A1|"));
        client.sendMessage(QStringLiteral("unset|SUSPEND||ORD|13|U01|"));
        client.sendMessage(QStringLiteral("set|MKTRATIO|2|ORD|ALL|ALL|"));
        QTRY_COMPARE_WITH_TIMEOUT(rows(), (QStringList{"ORD|10|A1|UPFR|0.6", "ORD|ALL|ALL|MKTRATIO|2"}), 20000);

        QTRY_VERIFY((out += process.readAllStandardOutput()).contains("applied set|MKTRATIO|2|ORD|ALL|ALL|"));
        QVERIFY(out.contains("applied set|UPFR|0.5|ORD|10|A1|"));
        QVERIFY(QRegularExpression(QStringLiteral("\\n\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} .* applied "))
                    .match(QString::fromLatin1(out)).hasMatch());
        QCOMPARE(process.state(), QProcess::Running);
        process.kill();
        process.waitForFinished();
    }

    void programDropsAClientThatNeverReadsItsReplies()
    {
        const quint16 port = freePort();
        writeIni(port);
        QProcess process;
        process.setWorkingDirectory(m_dir->path());
        process.start(QStringLiteral(VOXRISKMAN_PATH), QStringList());
        QVERIFY2(process.waitForStarted(), qPrintable(process.errorString()));
        QByteArray out;
        QTRY_VERIFY_WITH_TIMEOUT((out += process.readAllStandardOutput()).contains("listening on"), 10000);

        QTcpSocket greedy;
        greedy.setReadBufferSize(1); // reads nothing more: replies pile up at the server
        greedy.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(greedy.waitForConnected(5000));
        QByteArray junk;
        for (int i = 0; i < 20000; ++i)
            junk += "junk\n";
        for (int round = 0; round < 40 && greedy.state() == QAbstractSocket::ConnectedState; ++round) {
            greedy.write(junk);
            greedy.waitForBytesWritten(1000);
            QTest::qWait(20);
        }
        QTRY_VERIFY_WITH_TIMEOUT((out += process.readAllStandardOutput()).contains("replies not read"), 90000);
        // The server itself goes on serving others.
        QTcpSocket polite;
        polite.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(polite.waitForConnected(5000));
        polite.write("PING|\r\n");
        QByteArray reply;
        QTRY_VERIFY_WITH_TIMEOUT((reply += polite.readAll()).contains("PING|\r\n"), 10000);
        process.kill();
        process.waitForFinished();
    }

    void programReportsAMissingDatabase()
    {
        writeIni(freePort(), QStringLiteral("DRIVER={NoSuchDriver};Database=x"));
        QProcess process;
        process.setWorkingDirectory(m_dir->path());
        process.start(QStringLiteral(VOXRISKMAN_PATH), QStringList());
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitCode(), 1);
        QVERIFY(process.readAllStandardError().contains("cannot open the database"));
    }

    void listensOnLoopbackForForeignHosts()
    {
        QCOMPARE(RiskManServer::listenAddressFor(QStringLiteral("192.0.2.7")),
                 QHostAddress(QHostAddress::LocalHost));
        QCOMPARE(RiskManServer::listenAddressFor(QStringLiteral("127.0.0.1")),
                 QHostAddress(QHostAddress::LocalHost));
    }

private:
    void writeIni(quint16 port, const QString &source = {})
    {
        const QString dsn = source.isEmpty() ? "DRIVER={SQLite3};Database=" + m_dbPath : source;
        TestFiles::write(m_dir->filePath(QStringLiteral("vox.ini")),
                         "[VOX_RISKMAN]\nhost=127.0.0.1\nport=" + QByteArray::number(port)
                             + "\n[VOX_DATABASE]\nDSN_source=" + dsn.toLatin1() + "\nDSN_user=\nDSN_password=\n");
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_dbPath;
};

VOX_TEST_MAIN(TestVoxRiskMan)
#include "tst_voxriskman.moc"
