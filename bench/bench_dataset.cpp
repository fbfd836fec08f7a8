// Opening and searching a large table through the dataset engine: a
// brokerage may hold 200,000 customer accounts. Reports the time to show
// the first record, to reach the last, and to locate an account near the
// end, with the process's peak memory.
#include "BenchData.h"
#include "db/AdminData.h"
#include "db/DbConnection.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <benchmark/benchmark.h>
#include <sys/resource.h>

namespace {
constexpr int kRows = 200000;

QString &connection()
{
    static QString conn;
    return conn;
}

// The table is kept in the benchmarks' cache folder once built.
void buildTable()
{
    const QString file = BenchData::prepared(QStringLiteral("dataset-1.db"), BenchData::Base::Nothing, [](QSqlDatabase &db) {
        QSqlQuery q(db);
        q.prepare(QStringLiteral("CREATE TABLE customer_file (Account char(20) NOT NULL PRIMARY KEY, Active bit NOT NULL, "
                                 "User_No char(8), Chn_Name char(10), Account_Name char(100), First_Name char(100), "
                                 "Family_Name char(10), \"Limit\" float, Cash_Bal float, Currency char(10), Day_Tel_1 char(20), "
                                 "Mobile char(20), Home_Tel char(20), E_Mail char(20), Fax char(20), Margin integer, "
                                 "DateTime_Created timestamp, DateTime_Modified integer DEFAULT 0, password char(20), "
                                 "Entitlement varchar(50))"));
        BenchData::exec(q);
        q.prepare(QStringLiteral("INSERT INTO customer_file (Account, Active, User_No, Account_Name, \"Limit\", Currency, Margin) "
                                 "VALUES (?, 1, ?, ?, ?, 'HKD', 0)"));
        for (int i = 0; i < kRows; ++i) {
            q.bindValue(0, QStringLiteral("%1").arg(100000 + i));
            q.bindValue(1, QStringLiteral("D%1").arg(i % 50, 3, 10, QLatin1Char('0')));
            q.bindValue(2, QStringLiteral("CUSTOMER NUMBER %1").arg(i));
            q.bindValue(3, 10000.0 + i);
            BenchData::exec(q);
        }
    });
    connection() = BenchData::connectionString(file);
}

long peakKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void BM_OpenFirstRecord(benchmark::State &state)
{
    TAdminData data;
    data.Database1->setParams(connection(), {}, {});
    for (auto _ : state) {
        data.customer_file->close();
        data.customer_file->open();
        benchmark::DoNotOptimize(data.customer_file->fieldByName(QStringLiteral("Account"))->asString());
    }
    state.counters["rows_read"] = data.customer_file->loadedCount();
    state.counters["peak_MiB"] = peakKiB() / 1024.0;
}

void BM_OpenAndLast(benchmark::State &state)
{
    TAdminData data;
    data.Database1->setParams(connection(), {}, {});
    for (auto _ : state) {
        data.customer_file->close();
        data.customer_file->open();
        data.customer_file->last();
    }
    state.counters["rows"] = data.customer_file->loadedCount();
    state.counters["peak_MiB"] = peakKiB() / 1024.0;
}

void BM_LocateNearEnd(benchmark::State &state)
{
    TAdminData data;
    data.Database1->setParams(connection(), {}, {});
    for (auto _ : state) {
        data.customer_file->close();
        data.customer_file->open();
        if (!data.customer_file->locate(QStringLiteral("Account"), QStringLiteral("%1").arg(100000 + kRows - 10)))
            state.SkipWithError("not found");
    }
    state.counters["peak_MiB"] = peakKiB() / 1024.0;
}

void BM_LocateMissing(benchmark::State &state)
{
    TAdminData data;
    data.Database1->setParams(connection(), {}, {});
    for (auto _ : state) {
        data.customer_file->close();
        data.customer_file->open();
        if (data.customer_file->locate(QStringLiteral("Account"), QStringLiteral("999999999")))
            state.SkipWithError("found a row that does not exist");
    }
    state.counters["rows_read"] = data.customer_file->loadedCount();
}

BENCHMARK(BM_LocateMissing)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenFirstRecord)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenAndLast)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_LocateNearEnd)->Unit(benchmark::kMillisecond)->Iterations(3);
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    buildTable();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
