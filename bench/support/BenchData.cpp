#include "BenchData.h"

#include "DemoDatabase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUuid>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace BenchData {

namespace {

void removeDatabaseFiles(const QString &file)
{
    for (const QString &suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm"),
                                  QStringLiteral("-journal")})
        QFile::remove(file + suffix);
}

int scalar(QSqlDatabase &db, const QString &sql)
{
    QSqlQuery q(db);
    q.prepare(sql);
    exec(q);
    return q.next() ? q.value(0).toInt() : 0;
}

} // namespace

QString cacheDir()
{
    const QString configured = qEnvironmentVariable("VOX_BENCH_CACHE");
    if (!configured.isEmpty()) {
        QDir().mkpath(configured);
        return QDir(configured).absolutePath();
    }
    static QTemporaryDir scratch;
    return scratch.path();
}

QString prepared(const QString &fileName, Base base, const Fill &fill)
{
    const QString file = QDir(cacheDir()).filePath(fileName);
    if (QFileInfo::exists(file))
        return file;
    const QString building = file + QStringLiteral(".building");
    removeDatabaseFiles(building);
    try {
        if (base == Base::Demo)
            DemoDb::buildSqliteFile(building, true);
    } catch (const DemoDb::Error &e) {
        qFatal("%s", qPrintable(e.message()));
    }
    const QString name = QStringLiteral("bench-build-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), name);
        db.setDatabaseName(connectionString(building));
        if (!db.open())
            qFatal("cannot open %s: %s", qPrintable(building), qPrintable(db.lastError().text()));
        try {
            if (base == Base::Schema)
                DemoDb::runScript(db, DemoDb::schemaScript(DemoDb::Engine::Sqlite));
        } catch (const DemoDb::Error &e) {
            qFatal("%s", qPrintable(e.message()));
        }
        if (fill) {
            db.transaction();
            fill(db);
            if (!db.commit())
                qFatal("cannot commit %s: %s", qPrintable(building), qPrintable(db.lastError().text()));
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    if (!QFile::rename(building, file))
        qFatal("cannot move %s into place", qPrintable(building));
    removeDatabaseFiles(building);
    return file;
}

QString demoDatabase()
{
    return prepared(QStringLiteral("demo-1.db"), Base::Demo);
}

QString scaleDatabase()
{
    return prepared(QStringLiteral("scale-1.db"), Base::Demo,
                    [](QSqlDatabase &db) { fillScale(db, ScaleCustomers, ScaleRiskRows); });
}

QString emptyDatabase()
{
    return prepared(QStringLiteral("empty-1.db"), Base::Schema);
}

void fillScale(QSqlDatabase &db, int customers, int riskRows)
{
    const int newAccounts = customers - scalar(db, QStringLiteral("SELECT COUNT(*) FROM customer_file"));
    int rows = scalar(db, QStringLiteral("SELECT COUNT(*) FROM riskman_file"));
    const auto dealer = [](int i) { return QStringLiteral("S%1").arg(i % 50, 3, 10, QLatin1Char('0')); };

    QSqlQuery q(db);
    q.prepare(QStringLiteral("INSERT INTO User_File (User_No, Full_Name, AdminUser) VALUES (?, ?, 0)"));
    for (int u = 0; u < 50; ++u) {
        q.bindValue(0, dealer(u));
        q.bindValue(1, QStringLiteral("DEALER %1").arg(u));
        exec(q);
    }
    q.prepare(QStringLiteral("INSERT INTO customer_file (Account, Active, User_No, Account_Name, Chn_Name, "
                             "First_Name, Family_Name, \"Limit\", Cash_Bal, Currency, Margin) "
                             "VALUES (?, 1, ?, ?, '', ?, ?, 0, 0, 'HKD', 0)"));
    for (int i = 0; i < newAccounts; ++i) {
        q.bindValue(0, QString::number(FirstScaleAccount + i));
        q.bindValue(1, dealer(i));
        q.bindValue(2, QStringLiteral("CUSTOMER NUMBER %1").arg(i));
        q.bindValue(3, QStringLiteral("GIVEN %1").arg(i));
        q.bindValue(4, QStringLiteral("FAMILY"));
        exec(q);
    }
    q.prepare(QStringLiteral("INSERT INTO DeviceAccount (DeviceName, ReferenceID, AccessCode, isEncrypted, "
                             "Enabled, UserType, Account) VALUES (?, '1', 'x', 0, 1, 1, ?)"));
    for (int i = 0; i < newAccounts; i += 10) {
        for (const char *device : {"Internet", "TWM"}) {
            q.bindValue(0, QString::fromLatin1(device));
            q.bindValue(1, QString::number(FirstScaleAccount + i));
            exec(q);
        }
    }
    q.prepare(QStringLiteral("INSERT INTO riskman_file (targetsystem, receivertype, receiverid, attribute, "
                             "value) VALUES (?, ?, ?, ?, ?)"));
    static const char *const attributes[] = {"UPFR", "SSELL", "SUSPEND", "SELL", "DAYTRADE"};
    for (int i = 0; i < newAccounts && rows < riskRows; ++i) {
        for (const char *attribute : attributes) {
            if (rows == riskRows)
                break;
            q.bindValue(0, QStringLiteral("ORD"));
            q.bindValue(1, QStringLiteral("10"));
            q.bindValue(2, QString::number(FirstScaleAccount + i));
            q.bindValue(3, QString::fromLatin1(attribute));
            q.bindValue(4, QStringLiteral("1"));
            exec(q);
            ++rows;
        }
    }
    for (; rows < riskRows; ++rows) {
        q.bindValue(0, QStringLiteral("ORD"));
        q.bindValue(1, QStringLiteral("0"));
        q.bindValue(2, QStringLiteral("%1").arg(rows % 99999, 5, 10, QLatin1Char('0')));
        q.bindValue(3, QStringLiteral("UPFR"));
        q.bindValue(4, QStringLiteral("1"));
        exec(q);
    }
}

QString connectionString(const QString &file)
{
    return DemoDb::sqliteConnectionString(file);
}

void exec(QSqlQuery &q)
{
    if (!q.exec())
        qFatal("%s", qPrintable(q.lastError().text()));
}

void execOn(const QString &file, const QString &sql)
{
    const QString name = QStringLiteral("bench-statement");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), name);
        db.setDatabaseName(connectionString(file));
        if (!db.open())
            qFatal("cannot open the benchmark database %s", qPrintable(file));
        QSqlQuery q(db);
        q.prepare(sql);
        exec(q);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

int listenOnLoopback(quint16 &port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 || ::listen(fd, 4) != 0)
        qFatal("cannot listen on the loopback address");
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len);
    port = ntohs(addr.sin_port);
    return fd;
}

double peakRssMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0; // KiB on Linux
}

double residentMiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toDouble() * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

} // namespace BenchData
