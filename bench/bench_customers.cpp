// The customer windows at a brokerage's scale: 200,000 customer accounts
// and 1,000,000 rows in riskman_file. Reports the time for the Customer
// Maintenance window to open and show its grid, with the growth of the
// process's resident memory (against the same window on an empty
// database), and the time of one Customer Profile lookup, with and without
// an index on riskman_file's receiverid.
#include "DemoDatabase.h"
#include "customers/CusForm.h"
#include "customers/CusMain.h"
#include "db/AdminData.h"
#include "widgets/DBGrid.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <unistd.h>

namespace {
constexpr int kAccounts = 200000;
constexpr int kRiskRows = 1000000;

QTemporaryDir &folder()
{
    static QTemporaryDir dir;
    return dir;
}

QString connectionFor(const QString &name)
{
    return DemoDb::sqliteConnectionString(folder().filePath(name));
}

void exec(QSqlQuery &q)
{
    if (!q.exec())
        qFatal("%s", qPrintable(q.lastError().text()));
}

// An empty database, and one with the accounts, their owners, device
// logins and the risk rows.
void buildDatabases()
{
    for (const bool full : {false, true}) {
        const QString name = full ? QStringLiteral("full") : QStringLiteral("empty");
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), QStringLiteral("bench-") + name);
        db.setDatabaseName(connectionFor(name + QStringLiteral(".db")));
        if (!db.open())
            qFatal("cannot open the benchmark database");
        DemoDb::runScript(db, DemoDb::schemaScript(DemoDb::Engine::Sqlite));
        if (!full)
            continue;
        db.transaction();
        QSqlQuery q(db);
        q.prepare(QStringLiteral("INSERT INTO User_File (User_No, Full_Name, AdminUser) VALUES (?, ?, 0)"));
        for (int u = 0; u < 50; ++u) {
            q.bindValue(0, QStringLiteral("D%1").arg(u, 3, 10, QLatin1Char('0')));
            q.bindValue(1, QStringLiteral("DEALER %1").arg(u));
            exec(q);
        }
        q.prepare(QStringLiteral("INSERT INTO customer_file (Account, Active, User_No, Account_Name, Chn_Name, "
                                 "First_Name, Family_Name, \"Limit\", Cash_Bal, Currency, Margin) "
                                 "VALUES (?, 1, ?, ?, '', ?, ?, 0, 0, 'HKD', 0)"));
        for (int i = 0; i < kAccounts; ++i) {
            q.bindValue(0, QString::number(100000 + i));
            q.bindValue(1, QStringLiteral("D%1").arg(i % 50, 3, 10, QLatin1Char('0')));
            q.bindValue(2, QStringLiteral("CUSTOMER NUMBER %1").arg(i));
            q.bindValue(3, QStringLiteral("GIVEN %1").arg(i));
            q.bindValue(4, QStringLiteral("FAMILY"));
            exec(q);
        }
        q.prepare(QStringLiteral("INSERT INTO DeviceAccount (DeviceName, ReferenceID, AccessCode, isEncrypted, "
                                 "Enabled, UserType, Account) VALUES (?, '1', 'x', 0, 1, 1, ?)"));
        for (int i = 0; i < kAccounts; i += 10) {
            for (const char *device : {"Internet", "TWM"}) {
                q.bindValue(0, QString::fromLatin1(device));
                q.bindValue(1, QString::number(100000 + i));
                exec(q);
            }
        }
        // Five rules for each account, the rest on securities.
        q.prepare(QStringLiteral("INSERT INTO riskman_file (targetsystem, receivertype, receiverid, attribute, "
                                 "value) VALUES (?, ?, ?, ?, ?)"));
        static const char *const attributes[] = {"UPFR", "SSELL", "SUSPEND", "SELL", "DAYTRADE"};
        int rows = 0;
        for (int i = 0; i < kAccounts && rows < kRiskRows; ++i) {
            for (const char *attribute : attributes) {
                q.bindValue(0, QStringLiteral("ORD"));
                q.bindValue(1, QStringLiteral("10"));
                q.bindValue(2, QString::number(100000 + i));
                q.bindValue(3, QString::fromLatin1(attribute));
                q.bindValue(4, QStringLiteral("1"));
                exec(q);
                ++rows;
            }
        }
        for (; rows < kRiskRows; ++rows) {
            q.bindValue(0, QStringLiteral("ORD"));
            q.bindValue(1, QStringLiteral("0"));
            q.bindValue(2, QStringLiteral("%1").arg(rows % 99999, 5, 10, QLatin1Char('0')));
            q.bindValue(3, QStringLiteral("UPFR"));
            q.bindValue(4, QStringLiteral("1"));
            exec(q);
        }
        db.commit();
    }
}

double residentMiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toDouble() * sysconf(_SC_PAGESIZE) / (1024.0 * 1024.0);
}

void openMaintenance(benchmark::State &state, const QString &file)
{
    TAdminData data;
    data.Database1->setParams(connectionFor(file), {}, {});
    double growth = 0;
    int rowsRead = 0;
    for (auto _ : state) {
        const double before = residentMiB();
        auto *form = new TCusMain;
        form->show();
        QApplication::processEvents();
        rowsRead = data.Customer_info->loadedCount();
        growth = std::max(growth, residentMiB() - before);
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
    openMaintenance(state, QStringLiteral("empty.db"));
}

void BM_CustomerMaintenanceOpen_200k(benchmark::State &state)
{
    openMaintenance(state, QStringLiteral("full.db"));
}

void lookups(benchmark::State &state)
{
    TAdminData data;
    data.Database1->setParams(connectionFor(QStringLiteral("full.db")), {}, {});
    TCusForm form;
    int i = 0;
    for (auto _ : state) {
        form.EdtAcct->setText(QString::number(100000 + (i++ * 7919) % kAccounts));
        form.BitBtn1Click();
    }
    state.counters["device_lines"] = form.ListBox1->count();
}

void BM_CustomerProfileLookup_NoIndex(benchmark::State &state)
{
    lookups(state);
}

void BM_CustomerProfileLookup_ReceiverIndex(benchmark::State &state)
{
    {
        QSqlDatabase db = QSqlDatabase::database(QStringLiteral("bench-full"));
        QSqlQuery q(db);
        q.prepare(QStringLiteral("CREATE INDEX IF NOT EXISTS riskman_receiver ON riskman_file (receiverid)"));
        exec(q);
    }
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
    buildDatabases();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
