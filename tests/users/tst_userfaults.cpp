#include "UsersFixture.h"
#include "core/VoxError.h"
#include "db/Schema.h"
#include "db/TableView.h"
#include "support/PgLockStep.h"
#include "support/TestMain.h"
#include "users/GroupRules.h"

#define VOX_SKIP_UNLESS_RESTARTABLE()                                       \
    do {                                                                    \
        QFETCH_GLOBAL(QString, backend);                                    \
        if (backend != QLatin1String("postgresql"))                         \
            QSKIP("needs a server to restart");                             \
        if (!PgLockStep::canRestartServer())                                \
            QSKIP("PostgreSQL test server cannot be restarted");            \
    } while (0)

// Writes of several statements cut by a server restart between two of
// them: a user's rights and members with their audit entries, and a
// group's rights copied over its members. Nothing of a cut write stays,
// and the next operation connects again and writes it whole.
class TestUserFaults : public QObject
{
    Q_OBJECT

    std::unique_ptr<UsersFixture> fx;

    std::unique_ptr<TableView> users()
    {
        auto t = std::make_unique<TableView>(QStringLiteral("Users"), fx->data->Database1);
        t->setTableName(QStringLiteral("dbo.User_File"));
        t->setFieldDefs(Schema::table(QStringLiteral("User_File"))->columns);
        t->open();
        return t;
    }

    int auditEntries()
    {
        return fx->count(QStringLiteral("SELECT COUNT(*) FROM Admin_Audit WHERE Table_Name = 'User_File'"));
    }

    void holdWritesOf(const QString &table, const QString &when = {})
    {
        TestDb::exec(fx->conn, PgLockStep::waitFunctionSql(QStringLiteral("hold")));
        TestDb::exec(fx->conn, PgLockStep::triggerSql(QStringLiteral("hold"), table, when));
    }

    // Runs write while the server restarts in the middle of it; the write
    // must fail.
    void cutByRestart(const std::function<void()> &write, const QString &table, const QString &when = {})
    {
        holdWritesOf(table, when);
        PgLockStep stop(fx->conn, [] { PgLockStep::restartServer(); });
        QVERIFY_THROWS_EXCEPTION(VoxError, write());
        QVERIFY2(stop.finish().isEmpty(), qPrintable(stop.finish()));
    }

private slots:
    void initTestCase_data() { VOX_DB_BACKENDS(); }

    void init() { VOX_FIXTURE_SET_UP(fx, UsersFixture); }

    void cleanup() { fx.reset(); }

    // The row is written, then the server stops before its audit entries.
    void aUserCutBeforeItsAuditEntriesKeepsItsOldRights()
    {
        VOX_SKIP_UNLESS_RESTARTABLE();
        auto u = users();
        QVERIFY(u->locate(QStringLiteral("User_No"), QStringLiteral("U1")));
        auto change = [&] {
            if (u->state() != Dataset::Edit)
                u->edit();
            u->fieldByName(QStringLiteral("Authority"))->setValue(QStringLiteral("Risk Management\r\n"));
            u->fieldByName(QStringLiteral("Member"))->setValue(QStringLiteral("U2\r\nU3\r\n"));
            u->post();
        };
        cutByRestart(change, QStringLiteral("Admin_Audit"));
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(fx->userField(QStringLiteral("U1"), QStringLiteral("Authority")), QStringLiteral("Order Entry"));
        QCOMPARE(fx->userField(QStringLiteral("U1"), QStringLiteral("Member")), QString());
        QCOMPARE(auditEntries(), 0);

        // The next operation: read again, change again, written whole.
        u = users();
        QVERIFY(u->locate(QStringLiteral("User_No"), QStringLiteral("U1")));
        change();
        QCOMPARE(fx->userField(QStringLiteral("U1"), QStringLiteral("Authority")), QStringLiteral("Risk Management"));
        QCOMPARE(fx->userField(QStringLiteral("U1"), QStringLiteral("Member")), QStringLiteral("U2\r\nU3"));
        QCOMPARE(auditEntries(), 2);
    }

    // The first member is written, then the server stops at the second.
    void aGroupApplyCutMidwayChangesNoMember()
    {
        VOX_SKIP_UNLESS_RESTARTABLE();
        auto u = users();
        const QString rights = QStringLiteral("report\r\n");
        cutByRestart([&] { GroupRules::applyToMembers(*u, QStringLiteral("G1"), rights); }, QStringLiteral("User_File"),
                     QStringLiteral("NEW.User_No = 'U3'"));
        if (QTest::currentTestFailed())
            return;
        const QStringList members{QStringLiteral("U2"), QStringLiteral("U3"), QStringLiteral("U4")};
        for (const QString &member : members)
            QCOMPARE(fx->userField(member, QStringLiteral("Authority")), QString());
        QCOMPARE(auditEntries(), 0);

        u = users();
        QCOMPARE(GroupRules::applyToMembers(*u, QStringLiteral("G1"), rights), 3);
        for (const QString &member : members)
            QCOMPARE(fx->userField(member, QStringLiteral("Authority")), QStringLiteral("report"));
        QCOMPARE(auditEntries(), 3);
    }

    // A database without the audit table: the first apply after connecting
    // looks for the table inside the apply's transaction, which a failed
    // look must not end.
    void aGroupApplyOnADatabaseWithoutAuditTableWritesEveryMember()
    {
        TestDb::exec(fx->conn, QStringLiteral("DROP TABLE Admin_Audit"));
        fx->data->Database1->close();
        auto u = users();
        QCOMPARE(GroupRules::applyToMembers(*u, QStringLiteral("G1"), QStringLiteral("report\r\n")), 3);
        QCOMPARE(fx->userField(QStringLiteral("U4"), QStringLiteral("Authority")), QStringLiteral("report"));
    }
};

VOX_TEST_MAIN(TestUserFaults)
#include "tst_userfaults.moc"
