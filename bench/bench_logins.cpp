// The account information export at a brokerage's scale: 200,000 Internet
// device logins with two entitlements each on the embedded database.
// Reports the time and the peak growth of resident memory of the export,
// the same for the two-queries-per-row reading, run with an index on the
// grants' account (and whether both wrote the same bytes), and the time the sqlite3 command-line tool takes to write
// the same rows from one join query.
#include "BenchData.h"
#include "customers/AccountExport.h"
#include "db/DbConnection.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>

namespace {
constexpr int kLogins = 200000;

QTemporaryDir &folder()
{
    static QTemporaryDir dir;
    return dir;
}

QString &dbFile()
{
    static QString file;
    return file;
}

// Kept in the benchmarks' cache folder once built.
void buildDatabase()
{
    dbFile() = BenchData::prepared(QStringLiteral("logins-1.db"), BenchData::Base::Schema, [](QSqlDatabase &db) {
        QSqlQuery q(db);
        q.prepare(QStringLiteral("INSERT INTO customer_file (Account, Active, User_No, First_Name, Family_Name) "
                                 "VALUES (?, 1, ?, ?, ?)"));
        for (int i = 0; i < kLogins; ++i) {
            q.bindValue(0, QString::number(100000 + i));
            q.bindValue(1, QStringLiteral("D%1").arg(i % 50, 3, 10, QLatin1Char('0')));
            q.bindValue(2, QStringLiteral("GIVEN %1").arg(i));
            q.bindValue(3, QStringLiteral("FAMILY"));
            BenchData::exec(q);
        }
        q.prepare(QStringLiteral("INSERT INTO DeviceAccount (DeviceName, ReferenceID, AccessCode, isEncrypted, "
                                 "ExpireDate, Enabled, UserType, Account) VALUES ('Internet', ?, 'x', 1, ?, ?, 1, ?)"));
        for (int i = 0; i < kLogins; ++i) {
            q.bindValue(0, QString::number(7000000 + i));
            q.bindValue(1, i % 3 == 0 ? QVariant(QDateTime(QDate(2002, 12, 31), QTime(0, 0)).addDays(i % 1000))
                                      : QVariant(QMetaType(QMetaType::QDateTime)));
            q.bindValue(2, i % 7 == 0 ? 0 : 1);
            q.bindValue(3, QString::number(100000 + i));
            BenchData::exec(q);
        }
        q.prepare(QStringLiteral("INSERT INTO AccountEntitle (EntitlementID, Enabled, UserType, Account) VALUES (?, 1, 1, ?)"));
        for (int i = 0; i < kLogins; ++i) {
            for (const char *id : {"HKEQ", "ITRADE"}) {
                q.bindValue(0, QString::fromLatin1(id));
                q.bindValue(1, QString::number(100000 + i));
                BenchData::exec(q);
            }
        }
        q.prepare(QStringLiteral("INSERT INTO entitlementlist (id, entitlevalue, Description) VALUES (?, ?, ?)"));
        int id = 0;
        for (const char *value : {"HKEQ", "ITRADE", "TWM", "USEQ"}) {
            q.bindValue(0, ++id);
            q.bindValue(1, QString::fromLatin1(value));
            q.bindValue(2, QStringLiteral("Entitlement %1").arg(id));
            BenchData::exec(q);
        }
    });
}

QByteArray &digestOf(AccountExport::Plan plan)
{
    static QByteArray digests[2];
    return digests[int(plan)];
}

void runExport(benchmark::State &state, AccountExport::Plan plan)
{
    DbConnection connection;
    connection.setParams(BenchData::connectionString(dbFile()), {}, {});
    const QString out = folder().filePath(plan == AccountExport::Plan::Joined ? QStringLiteral("joined.csv")
                                                                             : QStringLiteral("perrow.csv"));
    double peak = 0;
    for (auto _ : state) {
        const double before = BenchData::residentMiB();
        QFile file(out);
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        AccountExport::write(connection, AccountExport::Channel::Internet, file, plan, [&](int, int) {
            peak = std::max(peak, BenchData::residentMiB() - before);
            return true;
        });
        file.close();
        peak = std::max(peak, BenchData::residentMiB() - before);
    }
    QFile file(out);
    file.open(QIODevice::ReadOnly);
    digestOf(plan) = QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1);
    state.counters["peak_rss_growth_MiB"] = peak;
    state.counters["bytes"] = double(QFileInfo(out).size());
    const QByteArray &other = digestOf(plan == AccountExport::Plan::Joined ? AccountExport::Plan::PerRow
                                                                           : AccountExport::Plan::Joined);
    if (!other.isEmpty())
        state.counters["identical_to_other_plan"] = other == digestOf(plan) ? 1 : 0;
}

void BM_ExportInternet_Joined(benchmark::State &state)
{
    runExport(state, AccountExport::Plan::Joined);
}

// Adds or drops an index on the grants' account.
void setGrantIndex(bool present)
{
    BenchData::execOn(dbFile(), present ? QStringLiteral("CREATE INDEX IF NOT EXISTS ae_account ON AccountEntitle (Account)")
                                        : QStringLiteral("DROP INDEX IF EXISTS ae_account"));
}

void BM_ExportInternet_TwoQueriesPerRow(benchmark::State &state)
{
    // Without an index each per-account query scans every grant; with it
    // the grants of an account still come in the order they were stored.
    // The cached database is left without it, as the other two read it.
    setGrantIndex(true);
    runExport(state, AccountExport::Plan::PerRow);
    setGrantIndex(false);
}

void BM_Sqlite3Cli_JoinQuery(benchmark::State &state)
{
    const QString sql = QStringLiteral(
        "SELECT d.Account, trim(c.First_Name) || ' ' || trim(c.Family_Name), c.User_No, "
        "group_concat(e.EntitlementID || ';', ''), d.ExpireDate, d.Enabled "
        "FROM DeviceAccount d LEFT JOIN customer_file c ON c.Account = d.Account "
        "LEFT JOIN AccountEntitle e ON e.Account = d.Account "
        "WHERE d.DeviceName = 'Internet' GROUP BY d.Account ORDER BY d.Account;");
    qint64 bytes = 0;
    for (auto _ : state) {
        QProcess p;
        p.setStandardOutputFile(folder().filePath(QStringLiteral("cli.csv")));
        p.start(QStringLiteral("sqlite3"), {QStringLiteral("-csv"), dbFile(), sql});
        if (!p.waitForFinished(-1) || p.exitCode() != 0)
            state.SkipWithError("sqlite3 failed");
        bytes = QFileInfo(folder().filePath(QStringLiteral("cli.csv"))).size();
    }
    state.counters["bytes"] = double(bytes);
}

BENCHMARK(BM_Sqlite3Cli_JoinQuery)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ExportInternet_Joined)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_ExportInternet_TwoQueriesPerRow)->Unit(benchmark::kMillisecond)->Iterations(1);
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    buildDatabase();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
