// Reading the configuration: a vox.ini of 40,000 keys opened as the
// console opens it, one key read from it, and a configuration server that sends a 100 MB chunked body (no
// length to check in advance). The download must give up at its 1 MiB
// limit and keep the previous ./voxurl.ini; reported are its time and the
// growth of the process's peak resident size.
#include "BenchData.h"
#include "config/IniFile.h"
#include "config/RegistryIni.h"
#include "core/VoxError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {
constexpr int IniKeys = 40000;
constexpr qint64 HostileBodyBytes = 100LL * 1024 * 1024;

QTemporaryDir &folder()
{
    static QTemporaryDir dir;
    return dir;
}

QString bigIni()
{
    const QString path = folder().filePath(QStringLiteral("big.ini"));
    if (QFile::exists(path))
        return path;
    QByteArray text = "[VOX_DATABASE]\r\nDSN_source=VOXPROD\r\n\r\n[BIG]\r\n";
    for (int k = 0; k < IniKeys; ++k)
        text += "Key" + QByteArray::number(k) + " = value number " + QByteArray::number(k) + "\r\n";
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// Opening the file as the console does: the whole file parsed, then the
// database section and a key read.
void BM_IniOpen40000Keys(benchmark::State &state)
{
    const QString path = bigIni();
    for (auto _ : state) {
        IniFile ini(path);
        const QStringList database = ini.readSectionValues(QStringLiteral("vox_database"));
        const QString last = ini.readString(QStringLiteral("big"), QStringLiteral("KEY%1").arg(IniKeys - 1));
        if (database.isEmpty() || last.isEmpty())
            state.SkipWithError("keys not read");
    }
    state.counters["keys"] = IniKeys;
}

// One key read from the end of the section of 40,000 keys.
void BM_IniKeyRead40000KeySection(benchmark::State &state)
{
    const IniFile ini(bigIni());
    const QString key = QStringLiteral("KEY%1").arg(IniKeys - 1);
    for (auto _ : state) {
        const QString value = ini.readString(QStringLiteral("big"), key);
        if (value.isEmpty())
            state.SkipWithError("key not read");
        benchmark::DoNotOptimize(value);
    }
}

// A loopback web server that answers every request with a chunked body of
// HostileBodyBytes, until the client goes away.
class ChunkedServer
{
public:
    ChunkedServer()
    {
        m_listen = BenchData::listenOnLoopback(m_port);
        m_thread = std::thread([this] { run(); });
    }

    ~ChunkedServer()
    {
        m_stop = true;
        ::shutdown(m_listen, SHUT_RDWR);
        m_thread.join();
        ::close(m_listen);
    }

    quint16 port() const { return m_port; }

private:
    static bool sendAll(int fd, const QByteArray &bytes)
    {
        qsizetype sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n = ::send(fd, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            sent += n;
        }
        return true;
    }

    void run()
    {
        const QByteArray chunk(64 * 1024, 'x');
        const QByteArray framed = QByteArray::number(chunk.size(), 16) + "\r\n" + chunk + "\r\n";
        while (!m_stop) {
            const int fd = ::accept(m_listen, nullptr, nullptr);
            if (fd < 0)
                break;
            QByteArray request;
            char buffer[4096];
            while (!request.contains("\r\n\r\n")) {
                const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
                if (n <= 0)
                    break;
                request.append(buffer, n);
            }
            if (sendAll(fd, "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nTransfer-Encoding: chunked\r\n\r\n")) {
                for (qint64 sent = 0; sent < HostileBodyBytes && !m_stop; sent += chunk.size()) {
                    if (!sendAll(fd, framed))
                        break;
                }
                sendAll(fd, "0\r\n\r\n");
            }
            ::close(fd);
        }
    }

    int m_listen = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

void BM_DownloadChunked100MB(benchmark::State &state)
{
    ChunkedServer server;
    const QString local = folder().filePath(QStringLiteral("voxurl.ini"));
    const QByteArray previous = "[VOX_DATABASE]\r\nDSN_source=VOXPROD\r\n";
    const QString url = QStringLiteral("http://127.0.0.1:%1/firm/role/voxini.htm").arg(server.port());
    const double peakBefore = BenchData::peakRssMiB();
    bool refused = true, kept = true;
    for (auto _ : state) {
        state.PauseTiming();
        QFile file(local);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(previous) != previous.size())
            qFatal("cannot write %s", qPrintable(local));
        file.close();
        state.ResumeTiming();
        RegistryIni registry;
        try {
            refused = !registry.SaveDownloadFile(url, local) && refused;
        } catch (const VoxError &) {
            state.SkipWithError("the download raised");
            break;
        }
        state.PauseTiming();
        QFile check(local);
        kept = check.open(QIODevice::ReadOnly) && check.readAll() == previous && kept;
        state.ResumeTiming();
    }
    state.counters["refused"] = refused ? 1 : 0;
    state.counters["previous_copy_kept"] = kept ? 1 : 0;
    state.counters["peak_rss_growth_MiB"] = BenchData::peakRssMiB() - peakBefore;
}

BENCHMARK(BM_IniOpen40000Keys)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IniKeyRead40000KeySection)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DownloadChunked100MB)->Unit(benchmark::kMillisecond)->Iterations(3);
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
