// The customer windows at a brokerage's scale: 200,000 customer accounts
// and 1,000,000 rows in riskman_file. Reports the time for the Customer
// Maintenance window to open and show its grid, with the growth of the
// process's resident memory (against the same window on an empty
// database), and the time of one Customer Profile lookup, with and without
// an index on riskman_file's receiverid.
#include "BenchData.h"
#include "customers/CusForm.h"
#include "customers/CusMain.h"
#include "db/AdminData.h"
#include "widgets/DBGrid.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <algorithm>
#include <benchmark/benchmark.h>

namespace {
QString &databaseFile(bool full)
{
    static QString files[2];
    return files[full ? 1 : 0];
}

// The console's tables empty, and the demo database topped up to 200,000
// accounts (every tenth with two device logins) and 1,000,000 risk rows;
// both kept in the benchmarks' cache folder.
void prepareDatabases()
{
    databaseFile(false) = BenchData::emptyDatabase();
    databaseFile(true) = BenchData::scaleDatabase();
}

void openMaintenance(benchmark::State &state, bool full)
{
    TAdminData data;
    data.Database1->setParams(BenchData::connectionString(databaseFile(full)), {}, {});
    double growth = 0;
    int rowsRead = 0;
    for (auto _ : state) {
        const double before = BenchData::residentMiB();
        auto *form = new TCusMain;
        form->show();
        QApplication::processEvents();
        rowsRead = data.Customer_info->loadedCount();
        growth = std::max(growth, BenchData::residentMiB() - before);
        state.PauseTiming();
        delete form;
        data.Customer_info->close();
        QApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["rows_read"] = rowsRead;
    state.counters["rss_growth_MiB"] = growth;
}

void BM_CustomerMaintenanceOpen_Empty(benchmark::State &state)
{
    openMaintenance(state, false);
}

void BM_CustomerMaintenanceOpen_200k(benchmark::State &state)
{
    openMaintenance(state, true);
}

void lookups(benchmark::State &state)
{
    TAdminData data;
    data.Database1->setParams(BenchData::connectionString(databaseFile(true)), {}, {});
    TCusForm form;
    int i = 0;
    for (auto _ : state) {
        form.EdtAcct->setText(QString::number(BenchData::FirstScaleAccount + (i++ * 7919) % 190000));
        form.BitBtn1Click();
    }
    state.counters["device_lines"] = form.ListBox1->count();
}

// The schema scripts give riskman_file an index on receiverid; an older
// database may lack it. The cached database is left with its index.
void setReceiverIndex(bool present)
{
    BenchData::execOn(databaseFile(true),
                      present ? QStringLiteral("CREATE INDEX IF NOT EXISTS riskman_receiver ON riskman_file (receiverid)")
                              : QStringLiteral("DROP INDEX IF EXISTS riskman_receiver"));
}

void BM_CustomerProfileLookup_NoIndex(benchmark::State &state)
{
    setReceiverIndex(false);
    lookups(state);
    setReceiverIndex(true);
}

void BM_CustomerProfileLookup_ReceiverIndex(benchmark::State &state)
{
    setReceiverIndex(true);
    lookups(state);
}

BENCHMARK(BM_CustomerMaintenanceOpen_Empty)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_CustomerMaintenanceOpen_200k)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_CustomerProfileLookup_NoIndex)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_CustomerProfileLookup_ReceiverIndex)->Unit(benchmark::kMillisecond)->Iterations(200);
} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    prepareDatabases();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
