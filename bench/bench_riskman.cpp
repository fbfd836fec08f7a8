// Fairness of the stand-in risk manager: one client sends a burst of
// 20,000 commands and, once all of it is on its way, another client sends
// "PING|". Reported are the time to the PING's answer and the time to
// apply the whole burst (the burst ends with a PING of its own, answered
// after its last command). Served in turns, the PING is answered long
// before the burst is half applied.
//
// The database is SQLite in write-ahead-log mode without a disk flush at
// each commit, so the figure is the server's own and not the disk's.
#include "BenchData.h"
#include "RiskManServer.h"
#include "RiskStore.h"
#include "net/RiskCommand.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <arpa/inet.h>
#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {
constexpr int BurstCommands = 20000;
using Clock = std::chrono::steady_clock;

QByteArray burst()
{
    QByteArray bytes;
    for (int i = 0; i < BurstCommands; ++i)
        bytes += riskSetCommand(QLatin1String(voxRisk::UpFrontRatio), QString::number(i % 100),
                                QLatin1String(voxRisk::OrderServer), QLatin1String(voxRisk::Account),
                                QString::number(500000 + i))
                     .toLatin1()
            + "\r\n";
    return bytes + "PING|\r\n";
}

int connectTo(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    timeval wait{300, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool sendAll(int fd, const QByteArray &bytes)
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

// Reads until the answer to a PING has arrived.
bool awaitPing(int fd)
{
    QByteArray got;
    char buffer[4096];
    while (!got.contains("PING|")) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return false;
        got.append(buffer, n);
    }
    return true;
}

double msSince(Clock::time_point from)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
}

void BM_PingDuringBurst20000(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("riskman.db"));
    QFile::copy(BenchData::emptyDatabase(), file);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), QStringLiteral("bench-riskman"));
    db.setDatabaseName(BenchData::connectionString(file));
    if (!db.open())
        qFatal("cannot open the benchmark database");
    {
        QSqlQuery q(db);
        q.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
        q.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
    }
    RiskStore store(db);
    RiskManServer server(&store);
    if (!server.listen(QHostAddress::LocalHost, 0))
        qFatal("cannot listen");
    const QByteArray commands = burst();

    double pingMs = 0, burstMs = 0;
    for (auto _ : state) {
        std::atomic<bool> burstWritten{false}, ok{true};
        std::atomic<int> done{0};
        QEventLoop loop;
        const auto finished = [&] {
            if (++done == 2)
                QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        };
        const int burstFd = connectTo(server.serverPort());
        const int pingFd = connectTo(server.serverPort());
        std::thread burster([&] {
            const Clock::time_point start = Clock::now();
            ok = sendAll(burstFd, commands) && ok;
            burstWritten = true;
            ok = awaitPing(burstFd) && ok;
            burstMs = msSince(start);
            finished();
        });
        std::thread pinger([&] {
            while (!burstWritten)
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            const Clock::time_point start = Clock::now();
            ok = sendAll(pingFd, "PING|\r\n") && ok;
            ok = awaitPing(pingFd) && ok;
            pingMs = msSince(start);
            finished();
        });
        loop.exec();
        burster.join();
        pinger.join();
        ::close(burstFd);
        ::close(pingFd);
        state.SetIterationTime(pingMs / 1000.0);
        if (!ok) {
            state.SkipWithError("a client lost its link");
            break;
        }
    }
    state.counters["ping_ms"] = pingMs;
    state.counters["burst_ms"] = burstMs;
    state.counters["ping_share_of_burst"] = burstMs > 0 ? pingMs / burstMs : 0;
}

BENCHMARK(BM_PingDuringBurst20000)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    BenchData::emptyDatabase();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
