#include "config/RegistryIni.h"
#include "config/VoxIniFile.h"
#include "core/VoxError.h"
#include "support/DiskFaults.h"
#include "support/LineServer.h"
#include "support/ScopedSeam.h"
#include "support/TestFiles.h"
#include "support/TestMain.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>

namespace {

// A one-request-per-connection HTTP/1.1 server on a loopback port, served
// by the event loop that the download runs while it waits.
class TinyHttpServer : public QObject
{
    Q_OBJECT
public:
    enum class Mode { Answer, Silent, Hangup, Trickle, Chunked, Late, NotHttp, Cut };

    TinyHttpServer()
    {
        connect(&m_server, &QTcpServer::newConnection, this, &TinyHttpServer::accept);
        m_server.listen(QHostAddress::LocalHost, 0);
    }

    quint16 port() const { return m_server.serverPort(); }
    QString authority() const { return QStringLiteral("127.0.0.1:%1").arg(port()); }

    Mode mode = Mode::Answer;
    int status = 200;
    int delayMs = 0; // Late: the whole answer after this wait
    QByteArray body;
    QStringList paths; // request targets, in arrival order

private:
    void accept()
    {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    }

    void read(QTcpSocket *socket)
    {
        QByteArray &buffer = m_buffers[socket];
        buffer += socket->readAll();
        if (!buffer.contains("\r\n\r\n"))
            return;
        const QList<QByteArray> requestLine = buffer.left(buffer.indexOf("\r\n")).split(' ');
        paths << QString::fromLatin1(requestLine.value(1));
        m_buffers.remove(socket);
        if (mode == Mode::Silent)
            return;
        if (mode == Mode::Hangup) {
            socket->disconnectFromHost();
            return;
        }
        if (mode == Mode::Trickle) {
            // Headers, then one byte of a long body every 50 ms: never silent
            // long enough for a time-out between bytes.
            socket->write("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\nConnection: close\r\n\r\n");
            auto *timer = new QTimer(socket);
            connect(timer, &QTimer::timeout, socket, [socket] { socket->write("x"); });
            timer->start(50);
            return;
        }
        if (mode == Mode::Late) {
            QTimer::singleShot(delayMs, socket, [this, socket] { answer(socket); });
            return;
        }
        if (mode == Mode::NotHttp) {
            // Bytes of some other protocol, then the end of the connection.
            QByteArray noise;
            for (int i = 0; i < 4096; ++i)
                noise += char((i * 7919 + 13) % 256);
            socket->write(noise);
            socket->disconnectFromHost();
            return;
        }
        if (mode == Mode::Cut) {
            // Half the promised body, then the connection ends.
            socket->write("HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" +
                          body.left(body.size() / 2));
            socket->disconnectFromHost();
            return;
        }
        if (mode == Mode::Chunked) {
            // No length in advance: the body comes in chunks of 64 KiB.
            QByteArray reply = "HTTP/1.1 " + QByteArray::number(status) + " Status\r\n"
                               "Transfer-Encoding: chunked\r\nConnection: close\r\n\r\n";
            for (qsizetype at = 0; at < body.size(); at += 65536) {
                const QByteArray chunk = body.mid(at, 65536);
                reply += QByteArray::number(chunk.size(), 16) + "\r\n" + chunk + "\r\n";
            }
            reply += "0\r\n\r\n";
            socket->write(reply);
            socket->disconnectFromHost();
            return;
        }
        answer(socket);
    }

    void answer(QTcpSocket *socket)
    {
        QByteArray reply = "HTTP/1.1 " + QByteArray::number(status) + " Status\r\n";
        reply += "Content-Type: text/html\r\n";
        reply += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
        reply += "Connection: close\r\n\r\n";
        reply += body;
        socket->write(reply);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QHash<QTcpSocket *, QByteArray> m_buffers;
};

} // namespace

class TestVoxIniFile : public QObject
{
    Q_OBJECT

    std::unique_ptr<TemporaryWorkDir> m_work;
    std::unique_ptr<QTemporaryDir> m_system;
    // Where the location values come from, the system directory and the
    // download time-out, put back after each test (the reader after all).
    std::unique_ptr<ScopedSeam<RegistryIni::LocationReader, RegistryIni::LocationReader>> m_locationReader;
    std::unique_ptr<ScopedSeam<QString, const QString &>> m_systemDir;
    std::unique_ptr<ScopedSeam<int, int>> m_timeout;
    QHash<QString, QString> m_location;
    QString m_programCopy;

    void useServer(const QString &authority)
    {
        m_location = {{"iniServer", authority}};
    }

private slots:
    void initTestCase()
    {
        m_locationReader = std::make_unique<ScopedSeam<RegistryIni::LocationReader, RegistryIni::LocationReader>>(
            &RegistryIni::setLocationReader, [this](const QString &name) { return m_location.value(name); });
        m_programCopy = QCoreApplication::applicationDirPath() + "/vox.ini";
        QVERIFY2(!QFileInfo::exists(m_programCopy), "a vox.ini lies next to the test program");
    }

    void init()
    {
        m_work = std::make_unique<TemporaryWorkDir>();
        m_system = std::make_unique<QTemporaryDir>();
        QVERIFY(m_work->isValid() && m_system->isValid());
        m_systemDir = std::make_unique<ScopedSeam<QString, const QString &>>(&setSystemConfigDir, m_system->path());
        // Nothing listens here unless a test names a server.
        useServer(QStringLiteral("127.0.0.1:%1").arg(freePort()));
        m_timeout = std::make_unique<ScopedSeam<int, int>>(&RegistryIni::setTimeoutMs, 5000);
    }

    void cleanup()
    {
        QFile::remove(m_programCopy);
        m_timeout.reset();
        m_systemDir.reset();
        m_work.reset();
        m_system.reset();
    }

    void cleanupTestCase() { m_locationReader.reset(); }

    // ---- local search ---------------------------------------------------

    void currentDirWinsOverProgramDirWinsOverSystemDir()
    {
        TestFiles::write(m_work->filePath("vox.ini"), "[WHERE]\nplace=current\n");
        TestFiles::write(m_programCopy, "[WHERE]\nplace=program\n");
        TestFiles::write(m_system->filePath("vox.ini"), "[WHERE]\nplace=system\n");

        QCOMPARE(voxIniFile()->readString("WHERE", "place"), QStringLiteral("current"));
        QVERIFY(QFile::remove(m_work->filePath("vox.ini")));
        QCOMPARE(voxIniFile()->readString("WHERE", "place"), QStringLiteral("program"));
        QVERIFY(QFile::remove(m_programCopy));
        QCOMPARE(voxIniFile()->readString("WHERE", "place"), QStringLiteral("system"));
        // Each call searches again: a file that appears is found at once.
        TestFiles::write(m_work->filePath("vox.ini"), "[WHERE]\nplace=current again\n");
        QCOMPARE(voxIniFile()->readString("WHERE", "place"), QStringLiteral("current again"));
    }

    void candidatesNameTheThreePlacesInOrder()
    {
        const QStringList dflt = voxIniCandidates({});
        QCOMPARE(dflt.size(), 3);
        QCOMPARE(dflt.at(0), QStringLiteral("./vox.ini"));
        QCOMPARE(QFileInfo(dflt.at(1)), QFileInfo(QCoreApplication::applicationDirPath() + "/vox.ini"));
        QCOMPARE(QFileInfo(dflt.at(2)), QFileInfo(m_system->filePath("vox.ini")));

        // A trailing separator of the system directory is not doubled.
        m_systemDir->set(m_system->path() + "/");
        QCOMPARE(voxIniCandidates("other.ini").at(2), m_system->path() + "/other.ini");
        m_systemDir->set({});
        QCOMPARE(voxIniCandidates({}).at(2), QDir::cleanPath(systemConfigDir() + "/vox.ini"));
    }

    void anExplicitFileNameIsSearchedInstead()
    {
        TestFiles::write(m_work->filePath("vox.ini"), "[WHERE]\nplace=vox\n");
        TestFiles::write(m_system->filePath("other.ini"), "[WHERE]\nplace=other\n");
        QCOMPARE(voxIniFile("other.ini")->readString("WHERE", "place"), QStringLiteral("other"));
        QCOMPARE(voxIniFile("")->readString("WHERE", "place"), QStringLiteral("vox"));
    }

    void aDirectoryNamedLikeTheFileDoesNotCount()
    {
        QVERIFY(QDir(m_work->path()).mkdir("vox.ini"));
        TestFiles::write(m_system->filePath("vox.ini"), "[WHERE]\nplace=system\n");
        QCOMPARE(voxIniFile()->readString("WHERE", "place"), QStringLiteral("system"));
    }

    // ---- the download URL -----------------------------------------------

    void urlIsBuiltFromTheLocationValues_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("firm");
        QTest::addColumn<QString>("role");
        QTest::addColumn<QString>("custom");
        QTest::addColumn<QString>("url");
        const QString dflt = QString::fromLatin1(RegistryIni::DefaultHost);
        QTest::newRow("all") << "S" << "F" << "R" << "C" << "http://S/F/R/C/voxini.htm";
        QTest::newRow("role only") << "S" << "" << "R" << "" << "http://S/R/voxini.htm";
        QTest::newRow("no role") << "S" << "F" << "" << "C" << "http://S/F/C/voxini.htm";
        QTest::newRow("server only") << "S" << "" << "" << "" << "http://S/voxini.htm";
        QTest::newRow("none") << "" << "" << "" << "" << "http://" + dflt + "/voxini.htm";
        QTest::newRow("default host") << "" << "F" << "" << "" << "http://" + dflt + "/F/voxini.htm";
    }

    void urlIsBuiltFromTheLocationValues()
    {
        QFETCH(QString, server);
        QFETCH(QString, firm);
        QFETCH(QString, role);
        QFETCH(QString, custom);
        QFETCH(QString, url);
        QCOMPARE(RegistryIni::buildUrl(server, firm, role, custom), url);
        QVERIFY(!QString::fromLatin1(RegistryIni::DefaultHost).isEmpty());
    }

    void theDownloadAsksForThePathFromTheLocationValues()
    {
        TinyHttpServer http;
        http.body = "[WHERE]\r\nplace=web";
        m_location = {{"iniServer", http.authority()}, {"iniFirm", "F"}, {"iniCustom", "C"}};
        RegistryIni registry;
        QString path = "ignored";
        registry.GetINILocation(path);
        QCOMPARE(path, QStringLiteral("./voxurl.ini"));
        QCOMPARE(http.paths, QStringList{"/F/C/voxini.htm"});
        QCOMPARE(registry.server, http.authority());
        QCOMPARE(registry.firm, QStringLiteral("F"));
        QCOMPARE(registry.role, QString());
        QCOMPARE(registry.custom, QStringLiteral("C"));
        QVERIFY(registry.success);
    }

    // ---- download outcomes ----------------------------------------------

    void downloadedBodyGetsOneLineBreakAdded_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("no final break") << QByteArray("[VOX_SVR]\r\nhost=svr1\r\nport=7001");
        QTest::newRow("final break") << QByteArray("[VOX_SVR]\r\nhost=svr1\r\nport=7001\r\n");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("8-bit") << QByteArray("[VOX_SVR]\r\nhost=\xE9\xA0\0x", 20);
    }

    void downloadedBodyGetsOneLineBreakAdded()
    {
        QFETCH(QByteArray, body);
        TinyHttpServer http;
        http.body = body;
        useServer(http.authority());
        const auto ini = voxIniFile();
        QCOMPARE(ini->fileName(), QStringLiteral("./voxurl.ini"));
        QCOMPARE(TestFiles::read(m_work->filePath("voxurl.ini")), body + "\r\n");
        QCOMPARE(http.paths, QStringList{"/voxini.htm"});
        if (body.contains("svr1"))
            QCOMPARE(ini->readString("VOX_SVR", "port"), QStringLiteral("7001"));
    }

    void everyCallDownloadsAgain()
    {
        TinyHttpServer http;
        useServer(http.authority());
        http.body = "[VOX_RISKMAN]\r\nhost=first";
        QCOMPARE(voxIniFile()->readString("VOX_RISKMAN", "host"), QStringLiteral("first"));
        http.body = "[VOX_RISKMAN]\r\nhost=second";
        QCOMPARE(voxIniFile()->readString("VOX_RISKMAN", "host"), QStringLiteral("second"));
        QCOMPARE(http.paths.size(), 2);
    }

    void aLocalFileStopsTheDownload()
    {
        TinyHttpServer http;
        useServer(http.authority());
        TestFiles::write(m_system->filePath("vox.ini"), "[WHERE]\nplace=system\n");
        QCOMPARE(voxIniFile()->readString("WHERE", "place"), QStringLiteral("system"));
        QVERIFY(http.paths.isEmpty());
        QVERIFY(!QFileInfo::exists(m_work->filePath("voxurl.ini")));
    }

    // An error answer, plain or chunked, or a connection closed before any
    // answer: the download fails and the earlier copy is read, untouched.
    void aFailedTransferLeavesTheEarlierCopy_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<TinyHttpServer::Mode>("mode");
        for (int status : {300, 400, 401, 403, 404, 410, 500, 502, 503}) {
            QTest::addRow("%d", status) << status << TinyHttpServer::Mode::Answer;
            QTest::addRow("%d chunked", status) << status << TinyHttpServer::Mode::Chunked;
        }
        QTest::newRow("closed without answer") << 0 << TinyHttpServer::Mode::Hangup;
    }

    void aFailedTransferLeavesTheEarlierCopy()
    {
        QFETCH(int, status);
        QFETCH(TinyHttpServer::Mode, mode);
        TinyHttpServer http;
        http.status = status;
        http.mode = mode;
        // A page that would even read as a configuration.
        http.body = "[VOX_DATABASE]\r\nDSN_source=ERRORPAGE\r\n";
        useServer(http.authority());

        const QByteArray old = "[VOX_DATABASE]\r\nDSN_source=OLDDB\r\n";
        TestFiles::write(m_work->filePath("voxurl.ini"), old);
        const auto ini = voxIniFile();
        // A connection closed before any answer may be retried once.
        QVERIFY(!http.paths.isEmpty());
        QCOMPARE(TestFiles::read(m_work->filePath("voxurl.ini")), old);
        QCOMPARE(ini->readString("VOX_DATABASE", "DSN_source"), QStringLiteral("OLDDB"));

        RegistryIni registry;
        QVERIFY(!registry.SaveDownloadFile("http://" + http.authority() + "/voxini.htm",
                                           m_work->filePath("direct.ini")));
        QVERIFY(!registry.success);
        QVERIFY(!QFileInfo::exists(m_work->filePath("direct.ini")));
    }

    void chunkedBodyIsSavedWhole()
    {
        TinyHttpServer http;
        http.mode = TinyHttpServer::Mode::Chunked;
        QByteArray body = "[VOX_SVR]\r\nhost=svr1\r\nport=7001\r\n[PAD]\r\n";
        while (body.size() < 300000)
            body += "key" + QByteArray::number(body.size()) + "=value\r\n";
        http.body = body;
        useServer(http.authority());
        QCOMPARE(voxIniFile()->readString("VOX_SVR", "host"), QStringLiteral("svr1"));
        QCOMPARE(TestFiles::read(m_work->filePath("voxurl.ini")), body + "\r\n");
    }

    void oversizedChunkedBodyReplacesTheCopy_data()
    {
        QTest::addColumn<bool>("chunked");
        QTest::addColumn<qint64>("size");
        QTest::newRow("chunked, one byte over") << true << RegistryIni::MaxDownloadSize + 1;
        QTest::newRow("chunked, far over") << true << 3 * RegistryIni::MaxDownloadSize;
        QTest::newRow("with length, one byte over") << false << RegistryIni::MaxDownloadSize + 1;
        QTest::newRow("10 MB with length") << false << qint64(10'000'000);
        QTest::newRow("10 MB chunked") << true << qint64(10'000'000);
    }

    void oversizedChunkedBodyReplacesTheCopy()
    {
        QFETCH(bool, chunked);
        QFETCH(qint64, size);
        TinyHttpServer http;
        http.mode = chunked ? TinyHttpServer::Mode::Chunked : TinyHttpServer::Mode::Answer;
        http.body = "[VOX_SVR]\r\nhost=huge\r\n" + QByteArray(size - 22, ';');
        QCOMPARE(http.body.size(), size);
        useServer(http.authority());
        m_timeout->set(20000);

        const QByteArray old = "[VOX_SVR]\r\nhost=old\r\n";
        TestFiles::write(m_work->filePath("voxurl.ini"), old);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("not downloaded .*: the answer is larger than 1048576 bytes"));
        QCOMPARE(voxIniFile()->readString("VOX_SVR", "host"), QStringLiteral("old"));
        QCOMPARE(TestFiles::read(m_work->filePath("voxurl.ini")), old);
        QCOMPARE(QDir(m_work->path()).entryList(QDir::Files), QStringList{"voxurl.ini"});
    }

    void anAnswerOfTheLargestSizeIsSaved()
    {
        TinyHttpServer http;
        http.body = "[VOX_SVR]\r\nhost=big\r\n";
        http.body += QByteArray(RegistryIni::MaxDownloadSize - http.body.size(), ';');
        useServer(http.authority());
        QCOMPARE(voxIniFile()->readString("VOX_SVR", "host"), QStringLiteral("big"));
        QCOMPARE(QFileInfo(m_work->filePath("voxurl.ini")).size(), RegistryIni::MaxDownloadSize + 2);
    }

    void aFailedTransferWithoutAnEarlierCopyReadsAsEmpty()
    {
        TinyHttpServer http;
        http.status = 404;
        useServer(http.authority());
        const auto ini = voxIniFile();
        QVERIFY(!QFileInfo::exists(m_work->filePath("voxurl.ini")));
        QVERIFY(ini->sections().isEmpty());
        QVERIFY(ini->readSectionValues("VOX_RISKMAN").isEmpty());
        QVERIFY(ini->readSectionValues("VOX_DATABASE").isEmpty());
        QCOMPARE(ini->readString("TAMSEL", "devicelist"), QString());
    }

    void aRefusedConnectionRaises()
    {
        const QByteArray old = "[VOX_SVR]\r\nhost=old\r\n";
        TestFiles::write(m_work->filePath("voxurl.ini"), old);
        useServer(QStringLiteral("127.0.0.1:%1").arg(freePort()));
        QVERIFY_THROWS_EXCEPTION(VoxError, voxIniFile());
        QCOMPARE(TestFiles::read(m_work->filePath("voxurl.ini")), old);
    }

    void anUnknownHostRaises()
    {
        useServer(QStringLiteral("nosuchhost.invalid"));
        QVERIFY_THROWS_EXCEPTION(VoxError, voxIniFile());
        QVERIFY(!QFileInfo::exists(m_work->filePath("voxurl.ini")));
    }

    void aServerThatNeverAnswersTimesOutAsAFailure()
    {
        TinyHttpServer http;
        http.mode = TinyHttpServer::Mode::Silent;
        useServer(http.authority());
        m_timeout->set(300);
        QElapsedTimer clock;
        clock.start();
        std::unique_ptr<IniFile> ini;
        try {
            ini = voxIniFile();
        } catch (const std::exception &e) {
            QFAIL(qPrintable(QStringLiteral("raised: ") + QString::fromLocal8Bit(e.what())));
        }
        QVERIFY(clock.elapsed() < 4000);
        QCOMPARE(http.paths.size(), 1);
        QVERIFY(!QFileInfo::exists(m_work->filePath("voxurl.ini")));
        QVERIFY(ini->sections().isEmpty());
    }

    void aTransferThatNeverEndsTimesOutAsAFailure()
    {
        TestFiles::write(m_work->filePath("voxurl.ini"), "[OLD]\r\nkey=1\r\n");
        TinyHttpServer http;
        http.mode = TinyHttpServer::Mode::Trickle;
        useServer(http.authority());
        m_timeout->set(400);
        QElapsedTimer clock;
        clock.start();
        std::unique_ptr<IniFile> ini = voxIniFile();
        QVERIFY(clock.elapsed() < 4000);
        // The earlier copy is read, untouched.
        QCOMPARE(ini->readString("OLD", "key"), QStringLiteral("1"));
    }

    // A slow server: an answer inside the time-out is the file; one that
    // would come later is given up at the time-out, says why, and leaves
    // the earlier copy alone.
    void aSlowAnswerCountsOnlyWithinTheTimeOut_data()
    {
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<int>("timeoutMs");
        QTest::addColumn<bool>("saved");
        QTest::newRow("within") << 300 << 10000 << true;
        QTest::newRow("beyond") << 60000 << 500 << false;
    }

    void aSlowAnswerCountsOnlyWithinTheTimeOut()
    {
        QFETCH(int, delayMs);
        QFETCH(int, timeoutMs);
        QFETCH(bool, saved);
        TinyHttpServer http;
        http.mode = TinyHttpServer::Mode::Late;
        http.delayMs = delayMs;
        http.body = "[VOX_SVR]\r\nhost=new\r\n";
        const QByteArray old = "[VOX_SVR]\r\nhost=old\r\n";
        TestFiles::write(m_work->filePath("voxurl.ini"), old);
        m_timeout->set(timeoutMs);
        if (!saved)
            QTest::ignoreMessage(QtWarningMsg,
                                 QRegularExpression(QStringLiteral("not downloaded .*: no complete answer within %1 ms")
                                                        .arg(timeoutMs)));

        RegistryIni registry;
        QElapsedTimer clock;
        clock.start();
        const bool ok = registry.SaveDownloadFile("http://" + http.authority() + "/voxini.htm", "./voxurl.ini");
        const qint64 took = clock.elapsed();
        QCOMPARE(ok, saved);
        QCOMPARE(registry.failure.isEmpty(), saved);
        QCOMPARE(TestFiles::read(m_work->filePath("voxurl.ini")), saved ? http.body + "\r\n" : old);
        QCOMPARE(QDir(m_work->path()).entryList(QDir::Files), QStringList{"voxurl.ini"});
        if (saved) {
            QVERIFY(took >= delayMs);
        } else {
            // Given up at the time-out (its timer may fire a little early),
            // long before the server would answer.
            QVERIFY2(took >= timeoutMs * 9 / 10, qPrintable(QString::number(took)));
            QVERIFY2(took < delayMs, qPrintable(QString::number(took)));
        }
    }

    // Answers that are not a configuration file's: bytes of another
    // protocol, a body cut short, a connection that is accepted and then
    // held without a word. None is saved; each is said.
    void aBrokenAnswerKeepsTheEarlierCopy_data()
    {
        QTest::addColumn<TinyHttpServer::Mode>("mode");
        QTest::newRow("not HTTP") << TinyHttpServer::Mode::NotHttp;
        QTest::newRow("body cut short") << TinyHttpServer::Mode::Cut;
        QTest::newRow("accepted, never answered") << TinyHttpServer::Mode::Silent;
    }

    void aBrokenAnswerKeepsTheEarlierCopy()
    {
        QFETCH(TinyHttpServer::Mode, mode);
        TinyHttpServer http;
        http.mode = mode;
        http.body = "[VOX_DATABASE]\r\nDSN_source=HALF\r\n" + QByteArray(4000, ';');
        useServer(http.authority());
        m_timeout->set(1000);
        const QByteArray old = "[VOX_DATABASE]\r\nDSN_source=OLDDB\r\n";
        TestFiles::write(m_work->filePath("voxurl.ini"), old);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("The configuration file was not downloaded from http://"));

        RegistryIni registry;
        QString path;
        registry.GetINILocation(path);
        QVERIFY(!registry.success);
        QVERIFY(!registry.failure.isEmpty());
        QCOMPARE(TestFiles::read(m_work->filePath("voxurl.ini")), old);
        QCOMPARE(QDir(m_work->path()).entryList(QDir::Files), QStringList{"voxurl.ini"});
        QCOMPARE(IniFile(path).readString("VOX_DATABASE", "DSN_source"), QStringLiteral("OLDDB"));
    }

    // The copy cannot be replaced (a folder stands where it goes, or the
    // disk fills up): the download is not reported as saved, says why, and
    // leaves no part of the new copy.
    void anUnwritableCopyIsAFailure()
    {
        TinyHttpServer http;
        http.body = "[VOX_SVR]\r\nhost=new\r\n";
        QVERIFY(QDir(m_work->path()).mkdir("voxurl.ini"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("voxurl.ini cannot be written"));
        RegistryIni registry;
        QVERIFY(!registry.SaveDownloadFile("http://" + http.authority() + "/voxini.htm", "./voxurl.ini"));
        QVERIFY(!registry.success);
        QVERIFY(QFileInfo(m_work->filePath("voxurl.ini")).isDir());

        const QByteArray old = "[VOX_SVR]\r\nhost=old\r\n";
        TestFiles::write(m_work->filePath("copy.ini"), old);
        http.body += QByteArray(64 * 1024, ';');
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("copy.ini cannot be written: "));
        {
            DiskFullGuard full(16 * 1024);
            QVERIFY(full.isActive());
            QVERIFY(!registry.SaveDownloadFile("http://" + http.authority() + "/voxini.htm", "./copy.ini"));
        }
        QCOMPARE(registry.failure, QStringLiteral("./copy.ini cannot be written: %1")
                                       .arg(QString::fromLocal8Bit(std::strerror(EFBIG))));
        QCOMPARE(TestFiles::read(m_work->filePath("copy.ini")), old);
        QCOMPARE(QDir(m_work->path()).entryList({"copy.ini*"}, QDir::Files), QStringList{"copy.ini"});
    }
};

VOX_TEST_MAIN(TestVoxIniFile)
#include "tst_voxinifile.moc"
