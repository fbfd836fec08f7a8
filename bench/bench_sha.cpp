// Throughput of the console's SHA-1 component beside Qt's own SHA-1.
#include "users/SHA.h"

#include <QCryptographicHash>
#include <QRandomGenerator>

#include <benchmark/benchmark.h>

namespace {

QByteArray randomText(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator rng(1234);
    for (qsizetype k = 0; k < size; ++k)
        bytes[k] = char(rng.bounded(256));
    return bytes;
}

void BM_TSHA_Update(benchmark::State &state)
{
    const QByteArray text = randomText(state.range(0));
    TSHA sha;
    for (auto _ : state) {
        sha.Init();
        sha.Update(text.constData(), quint32(text.size()));
        sha.Finish();
        benchmark::DoNotOptimize(sha.Digest().data());
    }
    state.SetBytesProcessed(state.iterations() * text.size());
}

void BM_TSHA_HashString(benchmark::State &state)
{
    const QByteArray text = randomText(state.range(0));
    TSHA sha;
    for (auto _ : state) {
        sha.Init();
        sha.HashString(text);
        sha.Finish();
        benchmark::DoNotOptimize(sha.Digest().data());
    }
    state.SetBytesProcessed(state.iterations() * text.size());
}

void BM_TSHA_HashString_Text(benchmark::State &state)
{
    const QByteArray text = randomText(state.range(0));
    TSHA sha;
    for (auto _ : state) {
        sha.Init();
        sha.HashString(text);
        sha.Finish();
        QString digest = sha.GetHashString();
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(state.iterations() * text.size());
}

void BM_QtSha1(benchmark::State &state)
{
    const QByteArray text = randomText(state.range(0));
    for (auto _ : state) {
        QByteArray digest = QCryptographicHash::hash(text, QCryptographicHash::Sha1);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(state.iterations() * text.size());
}

void BM_QtSha1_Text(benchmark::State &state)
{
    const QByteArray text = randomText(state.range(0));
    for (auto _ : state) {
        QString digest = QString::fromLatin1(
            QCryptographicHash::hash(text, QCryptographicHash::Sha1).toHex().toUpper());
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(state.iterations() * text.size());
}

} // namespace

BENCHMARK(BM_TSHA_Update)->Arg(1 << 20)->Arg(16);
BENCHMARK(BM_TSHA_HashString)->Arg(1 << 20)->Arg(16);
BENCHMARK(BM_QtSha1)->Arg(1 << 20)->Arg(16);
BENCHMARK(BM_TSHA_HashString_Text)->Arg(16);
BENCHMARK(BM_QtSha1_Text)->Arg(16);

BENCHMARK_MAIN();
