#include "core/VoxError.h"
#include "db/AuditLog.h"
#include "db/AuditTrail.h"
#include "db/DbConnection.h"
#include "db/Schema.h"
#include "db/TableView.h"
#include "support/DiskFaults.h"
#include "support/TestDb.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>

// The audit trail: what a post and a command leave in Admin_Audit, the
// entries read back newest first and narrowed, and their CSV export.
class TestAuditTrail : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_conn;
    std::unique_ptr<DbConnection> m_db;
    std::unique_ptr<AuditTrail> m_trail;

    bool setUpDb()
    {
        QFETCH_GLOBAL(QString, backend);
        m_trail.reset();
        m_db.reset();
        m_conn = TestDb::freshFor(backend, m_dir.path());
        if (m_conn.isEmpty())
            return false;
        m_db = TestDb::openConnection(m_conn);
        m_trail = std::make_unique<AuditTrail>(m_db.get());
        m_trail->setOperator(QStringLiteral("ADMIN"));
        m_trail->setHostName(QStringLiteral("desk7"));
        m_db->setAuditTrail(m_trail.get());
        return true;
    }

    std::unique_ptr<TableView> users()
    {
        auto t = std::make_unique<TableView>(QStringLiteral("User_File"), m_db.get());
        t->setTableName(QStringLiteral("dbo.User_File"));
        t->setFieldDefs(Schema::table(QStringLiteral("User_File"))->columns);
        t->open();
        return t;
    }

    QList<QStringList> entries(const QString &columns)
    {
        return TestDb::rows(m_conn, QStringLiteral("SELECT %1 FROM dbo.Admin_Audit ORDER BY Audit_ID").arg(columns));
    }

private slots:
    void initTestCase_data() { VOX_DB_BACKENDS(); }
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void postRecordsEachChangedColumnAndPasswordsAsDigests()
    {
        if (!setUpDb())
            QSKIP("PostgreSQL test server not available");
        TestDb::exec(m_conn, QStringLiteral("INSERT INTO dbo.User_File (User_No, Full_Name, User_Password) "
                                            "VALUES ('U1', 'OLD NAME', 'secret')"));
        auto t = users();
        t->edit();
        t->fieldByName(QStringLiteral("Full_Name"))->setValue(QStringLiteral("NEW, NAME"));
        t->fieldByName(QStringLiteral("User_Password"))->setValue(QStringLiteral("hidden"));
        t->post();

        const auto rows = entries(QStringLiteral("User_No, Host_Name, Change_Kind, Table_Name, Record_Key, "
                                                 "Column_Name, Old_Value, New_Value"));
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows.at(0), (QStringList{"ADMIN", "desk7", "UPDATE", "User_File", "U1", "Full_Name", "OLD NAME",
                                          "NEW, NAME"}));
        QCOMPARE(rows.at(1).at(5), QStringLiteral("User_Password"));
        // SHA-1 of "secret" and of "hidden"; the texts themselves never.
        QCOMPARE(rows.at(1).at(6), QStringLiteral("SHA1:E5E9FA1BA31ECD1AE84F75CAAA474F3A663F05F4"));
        QVERIFY(rows.at(1).at(7).startsWith(QLatin1String("SHA1:")));
        QVERIFY(!rows.at(1).join(QLatin1Char('|')).contains(QLatin1String("hidden")));

        // A new and a deleted row: every value they hold.
        t->insert();
        t->fieldByName(QStringLiteral("User_No"))->setValue(QStringLiteral("U2"));
        t->post();
        t->locate(QStringLiteral("User_No"), QStringLiteral("U2"));
        t->remove();
        const auto all = entries(QStringLiteral("Change_Kind, Record_Key, Column_Name, Old_Value, New_Value"));
        QVERIFY(all.contains(QStringList{"INSERT", "U2", "User_No", "", "U2"}));
        QVERIFY(all.contains(QStringList{"DELETE", "U2", "User_No", "U2", ""}));
        // The time is UTC, to the minute of the test.
        const QDateTime at = TestDb::scalar(m_conn, QStringLiteral("SELECT MAX(Logged_At) FROM dbo.Admin_Audit")).toDateTime();
        QVERIFY(qAbs(QDateTime(at.date(), at.time(), Qt::UTC).secsTo(QDateTime::currentDateTimeUtc())) < 600);
    }

    void changeIsNotWrittenWhenItsEntryCannotBe()
    {
        if (!setUpDb())
            QSKIP("PostgreSQL test server not available");
        TestDb::exec(m_conn, QStringLiteral("INSERT INTO dbo.User_File (User_No, Full_Name) VALUES ('U1', 'KEPT')"));
        auto t = users();
        QVERIFY(m_trail->isAvailable());
        // The trail refuses the entry (the operator column too narrow).
        m_trail->setOperator(QStringLiteral("AN OPERATOR NUMBER FAR TOO LONG"));
        QFETCH_GLOBAL(QString, backend);
        if (backend == QLatin1String("sqlite"))
            TestDb::exec(m_conn, QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON Admin_Audit "
                                                "BEGIN SELECT RAISE(ABORT, 'refused'); END"));
        t->edit();
        t->fieldByName(QStringLiteral("Full_Name"))->setValue(QStringLiteral("LOST"));
        QVERIFY_THROWS_EXCEPTION(VoxError, t->post());
        QCOMPARE(TestDb::rows(m_conn, QStringLiteral("SELECT Full_Name FROM dbo.User_File")).value(0).value(0),
                 QStringLiteral("KEPT"));
        QCOMPARE(entries(QStringLiteral("Audit_ID")).size(), 0);
    }

    void olderDatabaseWithoutTheTableWorksUnaudited()
    {
        if (!setUpDb())
            QSKIP("PostgreSQL test server not available");
        TestDb::exec(m_conn, QStringLiteral("DROP TABLE dbo.Admin_Audit"));
        TestDb::exec(m_conn, QStringLiteral("INSERT INTO dbo.User_File (User_No, Full_Name) VALUES ('U1', 'A')"));
        QVERIFY(!m_trail->isAvailable());
        auto t = users();
        t->edit();
        t->fieldByName(QStringLiteral("Full_Name"))->setValue(QStringLiteral("B"));
        t->post();
        m_trail->recordCommand(QStringLiteral("SUSPEND|U1"), QStringLiteral("riskman"), QStringLiteral("sent"));
        QCOMPARE(TestDb::rows(m_conn, QStringLiteral("SELECT Full_Name FROM dbo.User_File")).value(0).value(0),
                 QStringLiteral("B"));
    }

    void commandsAreRecordedWithTheirOutcome()
    {
        if (!setUpDb())
            QSKIP("PostgreSQL test server not available");
        m_trail->recordCommand(QStringLiteral("1|ORD|13|U1|SUSPEND|1"), QStringLiteral("VOX_RISKMAN"),
                               QStringLiteral("unconfirmed"));
        QCOMPARE(entries(QStringLiteral("User_No, Change_Kind, New_Value, Service, Outcome")),
                 (QList<QStringList>{{"ADMIN", "COMMAND", "1|ORD|13|U1|SUSPEND|1", "VOX_RISKMAN", "unconfirmed"}}));
    }

    void entriesReadNewestFirstInWindowsAndNarrowed()
    {
        if (!setUpDb())
            QSKIP("PostgreSQL test server not available");
        for (int i = 0; i < 10; ++i) {
            m_trail->setOperator(i % 2 ? QStringLiteral("ADMIN") : QStringLiteral("RISK01"));
            m_trail->recordChange(AuditTrail::Change::Update, i < 5 ? QStringLiteral("dbo.User_File") : QStringLiteral("Group_File"),
                                  i == 3 ? QStringLiteral("A_%1") : QStringLiteral("AB%1").arg(i),
                                  {{QStringLiteral("Full_Name"), QString::number(i), QString::number(i + 1)}});
        }
        AuditLog log(QStringLiteral("log"), m_db.get());
        log.setBlockSize(3);
        log.open();
        QCOMPARE(log.fieldByName(QStringLiteral("New_Value"))->asString(), QStringLiteral("10"));
        QVERIFY(log.loadedCount() < 10); // read in windows
        log.last();
        QCOMPARE(log.fieldByName(QStringLiteral("New_Value"))->asString(), QStringLiteral("1"));
        QCOMPARE(log.recordCount(), 10);

        log.close();
        log.setCriteria({QStringLiteral("ADMIN"), QStringLiteral("user_file"), {}, {}, {}});
        log.open();
        QStringList seen;
        for (log.first(); !log.eof(); log.next())
            seen << log.fieldByName(QStringLiteral("Record_Key"))->asString();
        QCOMPARE(seen, (QStringList{"A_%1", "AB1"}));

        // "_" and "%" in the key are taken literally.
        log.close();
        log.setCriteria({{}, {}, QStringLiteral("A_"), {}, {}});
        log.open();
        QCOMPARE(log.recordCount(), 1);

        const QDate today = QDateTime::currentDateTimeUtc().date();
        log.close();
        log.setCriteria({{}, {}, {}, today.addDays(1), {}});
        log.open();
        QVERIFY(log.isEmpty());
        log.close();
        log.setCriteria({{}, {}, {}, today.addDays(-1), today});
        log.open();
        QCOMPARE(log.recordCount(), 10);
    }

    void exportWritesTheNarrowedEntriesAsQuotedCsv()
    {
        if (!setUpDb())
            QSKIP("PostgreSQL test server not available");
        m_trail->recordChange(AuditTrail::Change::Update, QStringLiteral("Group_File"), QStringLiteral("G1"),
                              {{QStringLiteral("Authority"), QStringLiteral("Risk Management\r\nLogin"),
                                QStringLiteral("say \"yes\", then")}});
        m_trail->recordChange(AuditTrail::Change::Update, QStringLiteral("User_File"), QStringLiteral("U1"),
                              {{QStringLiteral("Full_Name"), QStringLiteral("A"), QStringLiteral("B")}});
        AuditLog log(QStringLiteral("log"), m_db.get());
        log.setCriteria({{}, QStringLiteral("Group_File"), {}, {}, {}});
        const QString path = m_dir.filePath(QStringLiteral("audit.csv"));
        QCOMPARE(log.exportCsv(path), 1);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(f.readAll());
        QVERIFY(text.startsWith(QLatin1String("Entry,Time (UTC),Operator,Host,Change,Table,Key,Column,Old Value,New Value,Service,Outcome\n")));
        QVERIFY2(text.contains(QLatin1String(",UPDATE,Group_File,G1,Authority,\"Risk Management\r\nLogin\",\"say \"\"yes\"\", then\",,\n")),
                 qPrintable(text));
        QVERIFY(!text.contains(QLatin1String("U1")));
    }

    // A disk that fills up during the export, or a folder that cannot be
    // written: the export raises with the file and the system's message,
    // and the earlier file stays as it was, with no part of the new one.
    void exportToAFullOrUnwritableDiskRaisesAndKeepsTheEarlierFile()
    {
        if (!setUpDb())
            QSKIP("PostgreSQL test server not available");
        for (int i = 0; i < 300; ++i)
            m_trail->recordChange(AuditTrail::Change::Update, QStringLiteral("User_File"), QStringLiteral("U%1").arg(i),
                                  {{QStringLiteral("Full_Name"), QString(40, QLatin1Char('a')), QStringLiteral("B")}});
        AuditLog log(QStringLiteral("log"), m_db.get());
        const QString folder = m_dir.filePath(QStringLiteral("exports"));
        QVERIFY(QDir().mkpath(folder));
        const QString path = QDir(folder).filePath(QStringLiteral("audit.csv"));
        const QByteArray earlier = "an earlier export\n";
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(earlier);
        }
        try {
            DiskFullGuard full(8 * 1024);
            QVERIFY(full.isActive());
            log.exportCsv(path);
            QFAIL("the export did not fail");
        } catch (const VoxError &e) {
            QCOMPARE(e.message(), QStringLiteral("Cannot write %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(EFBIG))));
        }
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), earlier);
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{"audit.csv"});

        const QString blocked = DiskFaults::unwritableFolder(m_dir.path()) + QStringLiteral("/audit.csv");
        QVERIFY_THROWS_EXCEPTION(VoxError, log.exportCsv(blocked));
        QVERIFY(!QFileInfo::exists(blocked));
        // Room again: the whole trail is written.
        QCOMPARE(log.exportCsv(path), 300);
    }

    void csvFieldsAreQuotedOnlyWhereNeeded()
    {
        QCOMPARE(AuditLog::csvField(QStringLiteral("plain")), QStringLiteral("plain"));
        QCOMPARE(AuditLog::csvField(QStringLiteral("a,b")), QStringLiteral("\"a,b\""));
        QCOMPARE(AuditLog::csvField(QStringLiteral("say \"x\"")), QStringLiteral("\"say \"\"x\"\"\""));
        QCOMPARE(AuditLog::csvField(QStringLiteral("two\nlines")), QStringLiteral("\"two\nlines\""));
        QCOMPARE(AuditLog::csvField(QStringLiteral(" padded")), QStringLiteral("\" padded\""));
    }
};

VOX_TEST_MAIN(TestAuditTrail)
#include "tst_audittrail.moc"
