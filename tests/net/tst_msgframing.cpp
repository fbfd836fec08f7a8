#include "net/VoxLog.h"
#include "net/VoxMsg.h"
#include "support/TestMain.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <deque>
#include <stdexcept>

namespace {
// A scripted connection: takes at most the next scripted count of bytes per
// send (unlimited once the script is used up), fails the sends whose text
// starts with failPrefix, and hands out scripted receive blocks.
class FakeConnection : public voxMsgConnection
{
public:
    bool isEstablished() const override { return established; }

    qint64 send(const QByteArray &data) override
    {
        ++sendCalls;
        if (!failPrefix.isEmpty() && data.startsWith(failPrefix))
            throw std::runtime_error("send failed");
        qint64 count = data.size();
        if (!accept.empty()) {
            count = qMin<qint64>(accept.front(), data.size());
            accept.pop_front();
        }
        if (count > 0)
            sent += data.left(count);
        return count > 0 ? count : -1;
    }

    QByteArray receive(qint64 maxBytes) override
    {
        requested.push_back(maxBytes);
        if (incoming.empty())
            return {};
        QByteArray block = incoming.front();
        incoming.pop_front();
        if (block.size() > maxBytes) {
            incoming.push_front(block.mid(maxBytes));
            block.truncate(maxBytes);
        }
        return block;
    }

    bool established = false;
    std::deque<qint64> accept;
    QByteArray failPrefix;
    QByteArray sent;
    int sendCalls = 0;
    std::deque<QByteArray> incoming;
    std::vector<qint64> requested;
};

// Every message the reader hands out for one readable notification.
QList<QByteArray> drain(voxMsgReader &reader)
{
    QList<QByteArray> messages;
    bool allowed = true;
    for (QByteArray m = reader.nextMessage(allowed); !m.isEmpty(); m = reader.nextMessage(allowed))
        messages << m;
    return messages;
}

QList<QByteArray> split(const QByteArray &bytes)
{
    FakeConnection connection;
    voxMsgReader reader(&connection);
    connection.incoming.push_back(bytes);
    return drain(reader);
}

// Cuts messages at ';' instead of LF.
class SemicolonReader : public voxMsgReader
{
public:
    using voxMsgReader::voxMsgReader;
    QByteArray getMessageFromBuffer() override
    {
        const qsizetype end = m_buffer.indexOf(';');
        if (end < 0)
            return {};
        QByteArray message = m_buffer.left(end);
        m_buffer.remove(0, end + 1);
        return message;
    }
};
} // namespace

class TestMsgFraming : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_logPath = m_dir.filePath(QStringLiteral("framing.log"));
        QFile::remove(m_logPath);
        voxLogSetFileName(m_logPath);
    }

    void cleanup() { voxLogClose(); }

    void writerQueuesUntilEstablishedThenSendsInOrder()
    {
        FakeConnection connection;
        voxMsgWriter writer(&connection);
        writer.sendMessage("one\r\n");
        writer.sendMessage("two\r\n");
        writer.pushMessage();
        QCOMPARE(connection.sendCalls, 0);
        QCOMPARE(writer.queuedCount(), 2);

        connection.established = true;
        writer.pushMessage();
        QCOMPARE(connection.sent, QByteArray("one\r\ntwo\r\n"));
        QCOMPARE(writer.queuedCount(), 0);

        writer.sendMessage("three\r\n"); // written at once on an established link
        QCOMPARE(connection.sent, QByteArray("one\r\ntwo\r\nthree\r\n"));
    }

    void partialSendKeepsTheRestAtTheHead()
    {
        FakeConnection connection;
        connection.established = true;
        connection.accept = {5, 0};
        voxMsgWriter writer(&connection);
        const QByteArray twenty("set|SELL||ORD|0|1|\r\n");
        QCOMPARE(twenty.size(), 20);
        writer.sendMessage(twenty);
        QCOMPARE(connection.sent, twenty.left(5));
        writer.sendMessage("later\r\n"); // the link takes nothing this time
        QCOMPARE(connection.sent, twenty.left(5));
        QCOMPARE(writer.queuedCount(), 2);

        writer.pushMessage(); // next writable notification
        QCOMPARE(connection.sent, twenty + "later\r\n");
        QCOMPARE(writer.queuedCount(), 0);
    }

    void messageCutShortGoesOutWholeOnANewConnection()
    {
        FakeConnection connection;
        connection.established = true;
        connection.accept = {4, 0};
        voxMsgWriter writer(&connection);
        writer.sendMessage("unset|SELL||ORD|0|7|\r\n");
        writer.sendMessage("next\r\n");
        QCOMPARE(connection.sent, QByteArray("unse"));
        connection.sent.clear(); // the link dropped; a new one is up
        writer.restart();
        writer.pushMessage();
        QCOMPARE(connection.sent, QByteArray("unset|SELL||ORD|0|7|\r\nnext\r\n"));
        writer.restart(); // nothing cut short: nothing to do
        QCOMPARE(writer.queuedCount(), 0);
    }

    void failedSendDropsOneMessageAndLogsIt()
    {
        FakeConnection connection;
        connection.established = true;
        connection.failPrefix = "bad";
        voxMsgWriter writer(&connection);
        writer.sendMessage("bad|\xe9|\r\n");
        writer.sendMessage("good\r\n");
        QCOMPARE(connection.sent, QByteArray("good\r\n"));
        QCOMPARE(writer.queuedCount(), 0);
        voxLogClose();
        QFile log(m_logPath);
        QVERIFY(log.open(QIODevice::ReadOnly));
        QCOMPARE(log.readAll(), QByteArray("Error: Cannot send message: bad|\xe9|\r\n\n"));
    }

    void readerSplitsLines_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QList<QByteArray>>("messages");
        QTest::newRow("crlf and lf") << QByteArray("PING|\r\nPING|\n")
                                     << QList<QByteArray>{"PING|", "PING|"};
        QTest::newRow("empty lines skipped") << QByteArray("\r\n\r\nX\n") << QList<QByteArray>{"X"};
        QTest::newRow("only one cr removed") << QByteArray("X\r\r\n") << QList<QByteArray>{"X\r"};
        QTest::newRow("cr inside kept") << QByteArray("a\rb\n") << QList<QByteArray>{"a\rb"};
        QTest::newRow("no line end yet") << QByteArray("PIN") << QList<QByteArray>{};
        QTest::newRow("8-bit bytes unchanged")
            << QByteArray("\xe9\xff\x80|\x01\r\n") << QList<QByteArray>{"\xe9\xff\x80|\x01"};
    }

    void readerSplitsLines()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QList<QByteArray>, messages);
        QCOMPARE(split(bytes), messages);
    }

    void messageSplitOverTwoReceives()
    {
        FakeConnection connection;
        voxMsgReader reader(&connection);
        connection.incoming = {"PIN", "G|\r\n"};
        QVERIFY(drain(reader).isEmpty());
        QCOMPARE(reader.buffer(), QByteArray("PIN"));
        QCOMPARE(drain(reader), QList<QByteArray>{"PING|"});
        QVERIFY(reader.buffer().isEmpty());
    }

    void receivesOnceAndAtMostOneBlockPerNotification()
    {
        FakeConnection connection;
        voxMsgReader reader(&connection);
        QByteArray many;
        for (int i = 0; i < 4000; ++i)
            many += "m" + QByteArray::number(i) + "\r\n";
        connection.incoming.push_back(many);

        const QList<QByteArray> first = drain(reader);
        QCOMPARE(connection.requested, std::vector<qint64>{16384});
        const qsizetype consumed = 16384 - reader.buffer().size();
        QCOMPARE(first.join("\r\n") + "\r\n", many.left(consumed));

        QList<QByteArray> all = first;
        while (!connection.incoming.empty())
            all += drain(reader);
        QCOMPARE(all.size(), 4000);
        QCOMPARE(all.last(), QByteArray("m3999"));
    }

    void nothingReceivedLeavesTheFlagSet()
    {
        FakeConnection connection;
        voxMsgReader reader(&connection);
        bool allowed = true;
        QVERIFY(reader.nextMessage(allowed).isEmpty());
        QVERIFY(allowed);
        connection.incoming.push_back("A\nB\n");
        QCOMPARE(reader.nextMessage(allowed), QByteArray("A"));
        QVERIFY(!allowed);
        QCOMPARE(reader.nextMessage(allowed), QByteArray("B"));
        connection.incoming.push_back("C\n");
        QVERIFY(reader.nextMessage(allowed).isEmpty()); // no second receive
        QCOMPARE(connection.requested.size(), size_t(2));
    }

    void overlongLineIsDroppedAndReadingGoesOn()
    {
        FakeConnection connection;
        voxMsgReader reader(&connection);
        reader.setMaxLineLength(100);
        connection.incoming = {"ok1\n" + QByteArray(60, 'x'), QByteArray(60, 'x'),
                               QByteArray(500, 'y'), "tail\r\nok2\r\n"};
        QList<QByteArray> all;
        while (!connection.incoming.empty())
            all += drain(reader);
        QCOMPARE(all, (QList<QByteArray>{"ok1", "ok2"}));
        QCOMPARE(reader.droppedLines(), 1);
        QVERIFY(reader.buffer().isEmpty());
        voxLogClose();
        QFile log(m_logPath);
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(log.readAll().startsWith("Error: "));
    }

    void pendingLineOfExactlyTheMaximumLengthDropped()
    {
        FakeConnection connection;
        voxMsgReader reader(&connection);
        reader.setMaxLineLength(100);
        // The longest line still allowed arrives in pieces; its end comes last.
        connection.incoming = {"ok\n" + QByteArray(60, 'x'), QByteArray(40, 'y'), "\r\nnext\n"};
        QList<QByteArray> all;
        while (!connection.incoming.empty())
            all += drain(reader);
        QCOMPARE(all, (QList<QByteArray>{"ok", QByteArray(60, 'x') + QByteArray(40, 'y'), "next"}));
        QCOMPARE(reader.droppedLines(), 0);

        // One byte more is too long.
        connection.incoming = {QByteArray(101, 'z'), "\nafter\n"};
        all.clear();
        while (!connection.incoming.empty())
            all += drain(reader);
        QCOMPARE(all, QList<QByteArray>{"after"});
        QCOMPARE(reader.droppedLines(), 1);
    }

    void bufferStaysBoundedAtTheDefaultLimit()
    {
        FakeConnection connection;
        voxMsgReader reader(&connection);
        const QByteArray block(16384, 'z');
        for (int i = 0; i < 200; ++i) { // 3.2 MiB without a line end
            connection.incoming.push_back(block);
            drain(reader);
            QVERIFY(reader.buffer().size() <= voxMsgReader::DefaultMaxLineLength);
        }
        connection.incoming.push_back("\nafter\n");
        QCOMPARE(drain(reader), QList<QByteArray>{"after"});
    }

    void derivedReaderCutsMessagesItsOwnWay()
    {
        FakeConnection connection;
        SemicolonReader reader(&connection);
        connection.incoming.push_back("a;b\n;");
        QCOMPARE(drain(reader), (QList<QByteArray>{"a", "b\n"}));
    }

private:
    QTemporaryDir m_dir;
    QString m_logPath;
};

VOX_TEST_MAIN(TestMsgFraming)
#include "tst_msgframing.moc"
