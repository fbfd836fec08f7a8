#include "CustomersFixture.h"
#include "customers/CusMain.h"
#include "customers/CustomerMaintenance.h"
#include "support/PgLockStep.h"
#include "support/TestMain.h"
#include "widgets/DBEdit.h"

#include <QPointer>
#include <QPushButton>

// Customer Maintenance when the database goes away in the middle of a new
// account, and when another console stores the same account between this
// one's check and its insert. Both need a server that other connections and
// the restart can reach: PostgreSQL only.
class TestCustomerFaults : public QObject
{
    Q_OBJECT

    std::unique_ptr<CustomersFixture> fx;
    QPointer<TCusMain> form;

    void openForm()
    {
        form = new TCusMain;
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form));
    }

    void type(const char *name, const QString &text)
    {
        auto *e = form->findChild<DBEdit *>(QString::fromLatin1(name));
        QVERIFY(e);
        e->setFocus();
        QTest::keyClicks(e, text);
    }

    void enterCustomer(const QString &account)
    {
        QTest::mouseClick(form->AddAcct, Qt::LeftButton);
        QVERIFY(form->isAdding());
        type("AccountField", account);
        type("UserNoField", QStringLiteral("D1"));
        type("AccountNameField", QStringLiteral("LAU WING HONG"));
    }

    void apply() { QTest::mouseClick(form->Apply, Qt::LeftButton); }

    int count(const QString &table, const QString &account)
    {
        return fx->count(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE Account = ?").arg(table), {account});
    }

    int auditEntries(const QString &account)
    {
        return fx->count(QStringLiteral("SELECT COUNT(*) FROM Admin_Audit WHERE Table_Name = 'customer_file' AND "
                                        "Record_Key = ?"),
                         {account});
    }

    // A trigger on table that holds this console's statement until the
    // step has run.
    void holdInsertsInto(const QString &table, const QString &when = {})
    {
        TestDb::exec(fx->conn, PgLockStep::waitFunctionSql(QStringLiteral("hold")));
        TestDb::exec(fx->conn, PgLockStep::triggerSql(QStringLiteral("hold"), table, when));
    }

private slots:
    void initTestCase_data() { VOX_DB_BACKENDS(); }

    void init()
    {
        QFETCH_GLOBAL(QString, backend);
        if (backend != QLatin1String("postgresql"))
            QSKIP("needs other connections to a server");
        VOX_FIXTURE_SET_UP(fx, CustomersFixture);
        fx->addUser(QStringLiteral("D1"));
        fx->printIntoTestDir();
        openForm();
    }

    void cleanup()
    {
        if (form)
            form->close();
        QTest::qWait(10);
        fx.reset();
    }

    // The server stops after the customer row is written and before its
    // copy into BOD_Customer_File: neither stays, nor an audit entry; the
    // next Apply connects again and stores all three.
    void aNewCustomerCutByAServerRestartLeavesNothing()
    {
        if (!PgLockStep::canRestartServer())
            QSKIP("PostgreSQL test server cannot be restarted");
        holdInsertsInto(QStringLiteral("BOD_Customer_File"));
        enterCustomer(QStringLiteral("200001"));
        {
            PgLockStep stop(fx->conn, [] { PgLockStep::restartServer(); });
            apply();
            QVERIFY2(stop.finish().isEmpty(), qPrintable(stop.finish()));
        }
        // The operator reads the database's own message. Its wording depends
        // on the statement the cut fell into ("terminating connection ..."
        // from the server, "internal SAVEPOINT failed" from the driver), so
        // only its presence is checked.
        QCOMPARE(fx->dialogs->texts().size(), 1);
        QVERIFY2(!fx->dialogs->lastText().trimmed().isEmpty(), "no reason shown");
        QVERIFY2(fx->dialogs->lastText() != QLatin1String(CustomerMaintenance::DuplicateCustomer),
                 qPrintable(fx->dialogs->lastText()));
        QVERIFY(form->isAdding());
        QCOMPARE(count(QStringLiteral("customer_file"), QStringLiteral("200001")), 0);
        QCOMPARE(count(QStringLiteral("BOD_Customer_File"), QStringLiteral("200001")), 0);
        QCOMPARE(auditEntries(QStringLiteral("200001")), 0);

        apply();
        QCOMPARE(fx->dialogs->texts().size(), 1);
        QVERIFY(!form->isAdding());
        QCOMPARE(count(QStringLiteral("customer_file"), QStringLiteral("200001")), 1);
        QCOMPARE(count(QStringLiteral("BOD_Customer_File"), QStringLiteral("200001")), 1);
        QVERIFY(auditEntries(QStringLiteral("200001")) > 0);
    }

    // Another console stores the account after this one found it free and
    // before this one's insert: the operator reads the duplicate message,
    // and the other console's row stays as it wrote it.
    void anAccountStoredMeanwhileByAnotherConsoleGetsTheDuplicateMessage()
    {
        holdInsertsInto(QStringLiteral("customer_file"),
                        QStringLiteral("NEW.Account_Name IS DISTINCT FROM 'OTHER CONSOLE'"));
        enterCustomer(QStringLiteral("200002"));
        {
            const QString conn = fx->conn;
            PgLockStep other(conn, [conn] {
                TestDb::exec(conn, QStringLiteral("INSERT INTO customer_file (Account, Active, User_No, Account_Name) "
                                                  "VALUES ('200002', 1, 'D1', 'OTHER CONSOLE')"));
            });
            apply();
            QVERIFY2(other.finish().isEmpty(), qPrintable(other.finish()));
        }
        QCOMPARE(fx->dialogs->texts(), QStringList{QString::fromLatin1(CustomerMaintenance::DuplicateCustomer)});
        QCOMPARE(TestDb::rows(fx->conn, QStringLiteral("SELECT Account_Name FROM customer_file WHERE Account = '200002'")),
                 QList<QStringList>{{QStringLiteral("OTHER CONSOLE")}});
        QCOMPARE(count(QStringLiteral("BOD_Customer_File"), QStringLiteral("200002")), 0);
        QCOMPARE(auditEntries(QStringLiteral("200002")), 0);
        // The window goes on working on the same link.
        fx->dialogs->entries.clear();
        QTest::mouseClick(form->Cancel, Qt::LeftButton);
        enterCustomer(QStringLiteral("200003"));
        apply();
        QVERIFY2(fx->dialogs->entries.isEmpty(), qPrintable(fx->dialogs->lastText()));
        QCOMPARE(count(QStringLiteral("BOD_Customer_File"), QStringLiteral("200003")), 1);
    }
};

VOX_TEST_MAIN(TestCustomerFaults)
#include "tst_customerfaults.moc"
