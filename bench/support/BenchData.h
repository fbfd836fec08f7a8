#pragma once

#include <QSqlDatabase>
#include <QString>
#include <functional>

class QSqlQuery;

// Databases and measures shared by the benchmarks.
//
// The large databases take a minute or more to fill, so they are kept in a
// cache folder and built once: $VOX_BENCH_CACHE when it is set (bench/run.sh
// sets it), else a temporary folder of the process. A database is built
// under a temporary name and moved into place only when complete, so an
// interrupted build is never taken for a finished one. The file name
// carries a generation number: change it when what a database holds
// changes.
namespace BenchData {

// At a brokerage's scale.
constexpr int ScaleCustomers = 200000;
constexpr int ScaleRiskRows = 1000000;
// The first account number of the generated customers (the demo's own run
// from 100001).
constexpr int FirstScaleAccount = 500000;

QString cacheDir();

// What a new database starts from before it is filled.
enum class Base {
    Nothing, // an empty SQLite file
    Schema,  // the console's tables, empty
    Demo,    // the demo database of voxdemodb
};

using Fill = std::function<void(QSqlDatabase &db)>;

// The path of the cached SQLite database fileName, built from base and
// fill (in one transaction) when it is not there yet.
QString prepared(const QString &fileName, Base base, const Fill &fill = {});

// The demo database.
QString demoDatabase();
// The demo database topped up to ScaleCustomers accounts and ScaleRiskRows
// rows of riskman_file (see fillScale).
QString scaleDatabase();
// The console's tables, empty.
QString emptyDatabase();

// Tops the database up to `customers` accounts and `riskRows` rows of
// riskman_file. The new accounts are numbered from FirstScaleAccount and
// owned by 50 dealers S000-S049; every tenth has an Internet and a TWM
// login; each gets five risk rules while rows are wanted, the remaining
// rows are rules on securities.
void fillScale(QSqlDatabase &db, int customers, int riskRows);

// The ODBC connection string of an SQLite file, as the console's vox.ini
// gives it.
QString connectionString(const QString &file);

// Runs a prepared statement; a refusal ends the benchmark.
void exec(QSqlQuery &q);
// Runs one statement on the SQLite file through a connection of its own.
void execOn(const QString &file, const QString &sql);

// A socket listening on a free port of the loopback address, and that port;
// a refusal ends the benchmark.
int listenOnLoopback(quint16 &port);

// The process's peak resident size so far, and its resident size now.
double peakRssMiB();
double residentMiB();

} // namespace BenchData
