// Throughput of the risk-manager service client: 100,000 risk commands
// through one voxServiceClient to a loopback line server, against a plain
// blocking socket writer sending the same bytes. The server checks that
// every line arrives once and in order. Reports wall time and the
// process's peak resident size.
//
// BM_ServiceClientWithOutbox sends the same commands through the risk
// outbox; BM_OutboxCheckRound times the later check round that confirms
// all of them, read back from the rows the risk manager would hold (kept
// in memory here, so the figure is the outbox's own cost, without the
// database's).

#include "BenchData.h"
#include "net/RiskCommand.h"
#include "net/RiskOutbox.h"
#include "net/VoxService.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QStringList>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {
constexpr int CommandCount = 100000;

struct Workload {
    QStringList commands; // as the console passes them to sendMessage
    QByteArray wire;      // the bytes that must arrive
    QHash<RiskRowKey, QString> rows; // riskman_file once all are applied
};

const Workload &workload()
{
    static const Workload w = [] {
        Workload w;
        w.commands.reserve(CommandCount);
        for (int i = 0; i < CommandCount; ++i) {
            const QString account = QStringLiteral("AC%1").arg(i, 8, 10, QLatin1Char('0'));
            QString command;
            switch (i % 4) {
            case 0: command = riskSetCommand(voxRisk::UpFrontRatio, QString::number(i % 100), voxRisk::OrderServer, voxRisk::Account, account); break;
            case 1: command = riskFlagCommand(true, voxRisk::Suspend, voxRisk::OrderServer, voxRisk::Account, account); break;
            case 2: command = riskFlagCommand(false, voxRisk::SellOnly, voxRisk::OrderServer, voxRisk::Account, account); break;
            default: command = riskFlagCommand(true, voxRisk::Suspend, voxRisk::Twm, voxRisk::Account, account); break;
            }
            w.commands << command;
            w.wire += command.toLatin1() + "\r\n";
            const ParsedRiskCommand parsed = parseRiskCommand(command);
            if (parsed.set)
                w.rows.insert(parsed.key, parsed.value);
            else
                w.rows.remove(parsed.key);
        }
        return w;
    }();
    return w;
}

// A loopback server that accepts one connection and reads until the
// expected bytes have arrived (or they differ).
class LineServer
{
public:
    explicit LineServer(const QByteArray &expected)
        : m_expected(expected)
    {
        m_listen = BenchData::listenOnLoopback(m_port);
        m_thread = std::thread([this] { run(); });
    }

    ~LineServer()
    {
        m_thread.join();
        ::close(m_listen);
    }

    quint16 port() const { return m_port; }
    // Called (on the server thread) once everything has arrived or failed.
    std::function<void()> onDone;

    bool ok() const { return m_ok; }
    qint64 lines() const { return m_lines; }

private:
    void run()
    {
        const int fd = ::accept(m_listen, nullptr, nullptr);
        char buffer[65536];
        qsizetype offset = 0;
        bool ok = fd >= 0;
        while (ok && offset < m_expected.size()) {
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0 || offset + n > m_expected.size()
                || memcmp(buffer, m_expected.constData() + offset, size_t(n)) != 0) {
                ok = false;
                break;
            }
            m_lines += std::count(buffer, buffer + n, '\n');
            offset += n;
        }
        m_ok = ok;
        if (onDone)
            onDone();
        if (fd >= 0)
            ::close(fd);
    }

    QByteArray m_expected;
    int m_listen = -1;
    quint16 m_port = 0;
    std::thread m_thread;
    std::atomic<bool> m_ok{false};
    std::atomic<qint64> m_lines{0};
};

double g_baselineRssMiB = 0; // after the workload is built, before any run

void report(benchmark::State &state, const Workload &w)
{
    state.counters["commands/s"] = benchmark::Counter(double(CommandCount) * double(state.iterations()),
                                                      benchmark::Counter::kIsRate);
    state.counters["bytes"] = double(w.wire.size());
    state.counters["peak_rss_MiB"] = BenchData::peakRssMiB();
    state.counters["baseline_rss_MiB"] = g_baselineRssMiB;
}

void BM_ServiceClient(benchmark::State &state)
{
    const Workload &w = workload();
    for (auto _ : state) {
        QEventLoop loop;
        LineServer server(w.wire);
        server.onDone = [&loop] { QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection); };
        voxServiceClient client(nullptr, QStringLiteral("VOX_RISKMAN"), QStringLiteral("127.0.0.1"), server.port());
        for (const QString &command : w.commands)
            client.sendMessage(command);
        loop.exec();
        if (!server.ok() || server.lines() != CommandCount) {
            state.SkipWithError("commands lost or out of order");
            break;
        }
    }
    report(state, w);
}

// The rows the risk manager would hold, read back from memory.
RiskOutbox::ReadBack memoryReadBack(const Workload &w)
{
    return [&w](const QList<RiskRowKey> &keys) {
        QHash<RiskRowKey, QString> present;
        present.reserve(keys.size());
        for (const RiskRowKey &key : keys) {
            const auto row = w.rows.constFind(key);
            if (row != w.rows.cend())
                present.insert(key, *row);
        }
        return present;
    };
}

// Sends the workload through outbox and client; false when the server did
// not get every line in order.
bool sendThroughOutbox(const Workload &w, LineServer &server, voxServiceClient &client, RiskOutbox &outbox)
{
    QEventLoop loop;
    server.onDone = [&loop] { QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection); };
    for (const QString &command : w.commands)
        outbox.send(&client, command);
    loop.exec();
    return server.ok() && server.lines() == CommandCount;
}

// The run of BM_ServiceClient with every command kept in the outbox. The
// check round that confirms them runs seconds later on its own timer; it
// is timed by BM_OutboxCheckRound.
void BM_ServiceClientWithOutbox(benchmark::State &state)
{
    const Workload &w = workload();
    for (auto _ : state) {
        LineServer server(w.wire);
        voxServiceClient client(nullptr, QStringLiteral("VOX_RISKMAN"), QStringLiteral("127.0.0.1"), server.port());
        RiskOutbox outbox(memoryReadBack(w));
        outbox.setSettleDelay(0);
        if (!sendThroughOutbox(w, server, client, outbox)) {
            state.SkipWithError("commands lost or out of order");
            break;
        }
        state.PauseTiming();
        outbox.checkNow();
        const bool confirmed = outbox.isEmpty();
        state.ResumeTiming();
        if (!confirmed) {
            state.SkipWithError("commands not confirmed");
            break;
        }
    }
    report(state, w);
}

// One check round confirming all 100,000 commands at once.
void BM_OutboxCheckRound(benchmark::State &state)
{
    const Workload &w = workload();
    for (auto _ : state) {
        state.PauseTiming();
        LineServer server(w.wire);
        voxServiceClient client(nullptr, QStringLiteral("VOX_RISKMAN"), QStringLiteral("127.0.0.1"), server.port());
        RiskOutbox outbox(memoryReadBack(w));
        outbox.setSettleDelay(0);
        const bool sent = sendThroughOutbox(w, server, client, outbox);
        state.ResumeTiming();
        outbox.checkNow();
        if (!sent || !outbox.isEmpty()) {
            state.SkipWithError("commands lost or not confirmed");
            break;
        }
    }
    report(state, w);
}

void BM_PlainBlockingWriter(benchmark::State &state)
{
    const Workload &w = workload();
    // The same messages, one send each, as a plain writer would do.
    QList<QByteArray> lines;
    for (const QString &command : w.commands)
        lines << command.toLatin1() + "\r\n";
    for (auto _ : state) {
        std::atomic<bool> done{false};
        LineServer server(w.wire);
        server.onDone = [&done] { done = true; };
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(server.port());
        if (::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
            state.SkipWithError("cannot connect");
            break;
        }
        for (const QByteArray &line : lines) {
            qsizetype sent = 0;
            while (sent < line.size()) {
                const ssize_t n = ::send(fd, line.constData() + sent, size_t(line.size() - sent), 0);
                if (n <= 0)
                    break;
                sent += n;
            }
        }
        while (!done)
            std::this_thread::yield();
        ::close(fd);
        if (!server.ok() || server.lines() != CommandCount) {
            state.SkipWithError("commands lost or out of order");
            break;
        }
    }
    report(state, w);
}

BENCHMARK(BM_PlainBlockingWriter)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
// The outbox's cost is the difference of these two: their medians of five
// runs are compared.
BENCHMARK(BM_ServiceClient)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5)->Repetitions(5);
BENCHMARK(BM_ServiceClientWithOutbox)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5)->Repetitions(5);
BENCHMARK(BM_OutboxCheckRound)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    workload(); // built before any timing
    g_baselineRssMiB = BenchData::peakRssMiB();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
