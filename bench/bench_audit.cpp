// What the audit trail costs a post: one changed column of a user written
// through the dataset engine on the embedded database (SQLite through
// ODBC), with and without Admin_Audit. The goal is under 2 ms a post.
#include "db/AuditTrail.h"
#include "db/DbConnection.h"
#include "db/Schema.h"
#include "db/TableView.h"

#include <QCoreApplication>
#include <QDir>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {
QString buildDatabase(const QString &file, bool withTrail)
{
    const QString conn = QStringLiteral("DRIVER={SQLite3};Database=%1;Timeout=5000;StepAPI=1").arg(file);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), QStringLiteral("bench-build"));
        db.setDatabaseName(conn);
        if (!db.open())
            qFatal("cannot open the benchmark database");
        QFile script(QStringLiteral(VOX_SCHEMA_DIR "/sqlite.sql"));
        if (!script.open(QIODevice::ReadOnly))
            qFatal("cannot read the schema script");
        const QStringList statements = QString::fromUtf8(script.readAll()).split(QStringLiteral(";\n"));
        QSqlQuery q(db);
        for (const QString &s : statements) {
            QString st = s.trimmed();
            while (st.startsWith(QLatin1String("--")))
                st = st.section(QLatin1Char('\n'), 1).trimmed();
            if (!st.isEmpty() && !q.exec(st))
                qFatal("schema statement failed");
        }
        if (!withTrail)
            q.exec(QStringLiteral("DROP TABLE Admin_Audit"));
        db.transaction();
        q.prepare(QStringLiteral("INSERT INTO User_File (User_No, Full_Name, AdminUser, User_Group, Authority) "
                                 "VALUES (?, ?, 0, 'G1', 'Risk Management')"));
        for (int i = 0; i < 1000; ++i) {
            q.bindValue(0, QStringLiteral("U%1").arg(i, 4, 10, QLatin1Char('0')));
            q.bindValue(1, QStringLiteral("USER %1").arg(i));
            q.exec();
        }
        db.commit();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bench-build"));
    return conn;
}

void postOneChange(benchmark::State &state, bool withTrail)
{
    QTemporaryDir dir;
    const QString conn = buildDatabase(dir.filePath(QStringLiteral("bench.db")), withTrail);
    DbConnection db;
    db.setParams(conn, {}, {});
    db.open();
    AuditTrail trail(&db);
    trail.setOperator(QStringLiteral("ADMIN"));
    db.setAuditTrail(&trail);
    TableView users(QStringLiteral("User_File"), &db);
    users.setTableName(QStringLiteral("dbo.User_File"));
    users.setFieldDefs(Schema::table(QStringLiteral("User_File"))->columns);
    users.open();
    users.setCurrentIndex(500);
    int n = 0;
    for (auto _ : state) {
        users.edit();
        users.fieldByName(QStringLiteral("Full_Name"))->setValue(QStringLiteral("NAME %1").arg(++n));
        users.post();
    }
    state.counters["audit_entries"] = withTrail ? n : 0;
}

void BM_PostWithoutTrail(benchmark::State &state)
{
    postOneChange(state, false);
}

void BM_PostWithTrail(benchmark::State &state)
{
    postOneChange(state, true);
}
} // namespace

BENCHMARK(BM_PostWithoutTrail)->Unit(benchmark::kMicrosecond)->MinTime(2.0);
BENCHMARK(BM_PostWithTrail)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
