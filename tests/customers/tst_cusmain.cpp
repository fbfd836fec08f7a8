#include "CustomersFixture.h"
#include "customers/CusMain.h"
#include "customers/CustomerMaintenance.h"
#include "support/PdfText.h"
#include "support/TestMain.h"
#include "support/Typing.h"
#include "widgets/DBEdit.h"
#include "widgets/DBGrid.h"
#include "widgets/PrinterFactory.h"

#include <QDateTime>
#include <QGroupBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>

// The Customer Maintenance window, driven as an operator would against a
// test database; the information sheet is printed to PDF and read back.
class TestCusMain : public QObject
{
    Q_OBJECT

    std::unique_ptr<CustomersFixture> fx;
    QPointer<TCusMain> form;
    QString printDir;

    void openForm()
    {
        form = new TCusMain;
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form));
    }

    DBEdit *edit(const char *name) { return form->findChild<DBEdit *>(QString::fromLatin1(name)); }

    void type(const char *name, const QString &text)
    {
        DBEdit *e = edit(name);
        QVERIFY(e);
        e->setFocus();
        typeKeys(e, text);
    }

    void enterCustomer(const QString &account, const QString &user)
    {
        QTest::mouseClick(form->AddAcct, Qt::LeftButton);
        QVERIFY(form->isAdding());
        type("AccountField", account);
        type("UserNoField", user);
        type("AccountNameField", QStringLiteral("LAU WING HONG"));
        type("ChnNameField", QStringLiteral("LWH"));
        type("EMailField", QStringLiteral("lau@mail.hk"));
        type("HomeTelField", QStringLiteral("23800211"));
        type("MobileField", QStringLiteral("91003571"));
        type("DayTelField", QStringLiteral("25200137"));
    }

    void apply() { QTest::mouseClick(form->Apply, Qt::LeftButton); }

    int customers(const QString &account)
    {
        return fx->count(QStringLiteral("SELECT COUNT(*) FROM customer_file WHERE Account = ?"), {account});
    }
    int bodRows(const QString &account)
    {
        return fx->count(QStringLiteral("SELECT COUNT(*) FROM BOD_Customer_File WHERE Account = ?"), {account});
    }

    void verifyBrowsing()
    {
        QVERIFY(!form->isAdding());
        QVERIFY(!form->GroupBox2->isEnabled());
        QVERIFY(form->AddAcct->isEnabled());
        QVERIFY(!form->Apply->isEnabled());
        QVERIFY(!form->Cancel->isEnabled());
    }

private slots:
    void initTestCase_data() { VOX_DB_BACKENDS(); }

    void init()
    {
        VOX_FIXTURE_SET_UP(fx, CustomersFixture);
        fx->addUser(QStringLiteral("D1"));
        fx->addUser(QStringLiteral("abc"));
        fx->addCustomer(QStringLiteral("100001"), QStringLiteral("CHAN TAI MAN"));
        fx->addCustomer(QStringLiteral("abc"), QStringLiteral("LOWER CASE LTD"));
        printDir = fx->printIntoTestDir();
    }

    void cleanup()
    {
        if (form)
            form->close();
        QTest::qWait(10);
        fx.reset();
    }

    void applyStoresTheDefaultsOneCopyAndPrintsTheSheet()
    {
        openForm();
        verifyBrowsing();
        const int printedBefore = PrintJob::writtenFiles().size();
        enterCustomer(QStringLiteral("200001"), QStringLiteral("D1"));
        QVERIFY(!edit("LimitField")->isEnabled());
        apply();
        QVERIFY2(fx->dialogs->entries.isEmpty(), qPrintable(fx->dialogs->lastText()));
        verifyBrowsing();

        const QList<QStringList> rows = TestDb::rows(
            fx->conn, QStringLiteral("SELECT Active, Margin, Cash_Bal, \"Limit\", Currency, password, User_No, "
                                     "Account_Name, DateTime_Created FROM customer_file WHERE Account = '200001'"));
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].mid(0, 8), (QStringList{"1", "0", "0", "0", "HKD", "", "D1", "LAU WING HONG"}));
        const QDateTime created = QDateTime::fromString(rows[0][8].left(19).replace(' ', 'T'), Qt::ISODate);
        QCOMPARE(created, QDateTime(QDate::currentDate(), QTime(0, 0)));
        QCOMPARE(bodRows(QStringLiteral("200001")), 1);
        QCOMPARE(TestDb::rows(fx->conn, QStringLiteral("SELECT \"Limit\", Active, Margin, Cash_Bal, Currency FROM "
                                                       "BOD_Customer_File WHERE Account = '200001'")),
                 (QList<QStringList>{{"0", "1", "0", "0", "HKD"}}));

        // Exactly one sheet, its texts in order.
        const QStringList printed = PrintJob::writtenFiles().mid(printedBefore);
        QCOMPARE(printed.size(), 1);
        const QString text = PdfText::layout(printed.first());
        QStringList expected{"CUSTOMER BASIC INFORMATION", "ACCOUNT NUMBER :", "200001", "AE CODE :", "D1",
                             "CUSTOMER NAME :", "LAU WING HONG", "CHINESE NAME:", "LWH", "EMAIL :", "lau@mail.hk",
                             "TEL :", "23800211", "MOBILE :", "91003571", "*** END ***"};
        int at = 0;
        for (const QString &piece : expected) {
            const int found = text.indexOf(piece, at);
            QVERIFY2(found >= 0, qPrintable(QStringLiteral("%1 missing after %2 in:\n%3").arg(piece).arg(at).arg(text)));
            at = found + piece.size();
        }
        // One page of 210 x 148.5 mm.
        QProcess info;
        info.start(QStringLiteral("pdfinfo"), {printed.first()});
        QVERIFY(info.waitForFinished(20000));
        const QString details = QString::fromUtf8(info.readAllStandardOutput());
        QVERIFY2(details.contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\b"))), qPrintable(details));
        QVERIFY2(details.contains(QRegularExpression(QStringLiteral("Page size:\\s+595(\\.\\d+)? x 42[01](\\.\\d+)? pts"))),
                 qPrintable(details));

        // The grid reads the new row with the others.
        QVERIFY(fx->data->Customer_info->locate(QStringLiteral("Account"), QStringLiteral("200001")));
    }

    void typedTextsAreStoredAsShownOrRefused_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored"); // empty: refused, nothing written
        const auto l1 = [](const char *text) { return QString::fromLatin1(text); };
        QTest::newRow("account at the width") << "AccountField" << "Account" << l1("ABCDEFGHIJ0123456789")
                                              << l1("ABCDEFGHIJ0123456789");
        QTest::newRow("account beyond the width") << "AccountField" << "Account" << l1("ABCDEFGHIJ0123456789XY")
                                                  << l1("ABCDEFGHIJ0123456789");
        QTest::newRow("account with bar") << "AccountField" << "Account" << l1("2000|1") << QString();
        QTest::newRow("account with quote") << "AccountField" << "Account" << l1("2000'1") << l1("2000'1");
        QTest::newRow("account 8-bit") << "AccountField" << "Account" << l1("\xc9\xe9" "2") << l1("\xc9\xe9" "2");
        QTest::newRow("name with quotes") << "AccountNameField" << "Account_Name" << l1("O'NEIL \"&\" CO; --")
                                          << l1("O'NEIL \"&\" CO; --");
        QTest::newRow("chinese name 8-bit at the width") << "ChnNameField" << "Chn_Name"
                                                         << l1("\xb5\xdf\xff\xe9\xa0|x'y\"")
                                                         << l1("\xb5\xdf\xff\xe9\xa0|x'y\"");
        QTest::newRow("family name beyond the width") << "FamilyNameField" << "Family_Name" << l1("0123456789ab")
                                                      << l1("0123456789");
    }

    void typedTextsAreStoredAsShownOrRefused()
    {
        QFETCH(QString, edit);
        QFETCH(QString, column);
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        openForm();
        QTest::mouseClick(form->AddAcct, Qt::LeftButton);
        const bool account = column == QLatin1String("Account");
        if (!account)
            type("AccountField", QStringLiteral("200001"));
        type("UserNoField", QStringLiteral("D1"));
        type(edit.toLatin1().constData(), typed);
        const int printedBefore = PrintJob::writtenFiles().size();
        apply();
        if (stored.isEmpty()) {
            QCOMPARE(fx->dialogs->texts(), QStringList{QString::fromLatin1(CustomerMaintenance::BadAccountNumber)});
            QVERIFY(form->isAdding());
            QCOMPARE(fx->count(QStringLiteral("SELECT COUNT(*) FROM customer_file")), 2);
            QCOMPARE(fx->count(QStringLiteral("SELECT COUNT(*) FROM BOD_Customer_File")), 0);
            QCOMPARE(PrintJob::writtenFiles().size(), printedBefore);
            return;
        }
        QVERIFY2(fx->dialogs->entries.isEmpty(), qPrintable(fx->dialogs->lastText()));
        const QString key = account ? stored : QStringLiteral("200001");
        QCOMPARE(TestDb::scalar(fx->conn, QStringLiteral("SELECT %1 FROM customer_file WHERE Account = ?").arg(column),
                                {key})
                     .toString()
                     .trimmed(),
                 stored);
        QCOMPARE(bodRows(key), 1);
        QCOMPARE(PrintJob::writtenFiles().size(), printedBefore + 1);
    }

    void duplicateIsRefusedBeforeTheOwnerAndNothingIsWritten()
    {
        openForm();
        enterCustomer(QStringLiteral("100001"), QStringLiteral("NOBODY"));
        apply();
        QCOMPARE(fx->dialogs->texts(), QStringList{"Duplicate Customer Number!"});
        QVERIFY(form->isAdding());
        QCOMPARE(edit("AccountField")->text(), QStringLiteral("100001"));
        QCOMPARE(customers(QStringLiteral("100001")), 1);
        QCOMPARE(fx->count(QStringLiteral("SELECT COUNT(*) FROM BOD_Customer_File")), 0);

        // Corrected account, unknown owner.
        edit("AccountField")->selectAll();
        QTest::keyClicks(edit("AccountField"), QStringLiteral("200002"));
        apply();
        QCOMPARE(fx->dialogs->lastText(), QStringLiteral("Cannot find User Number!"));
        QCOMPARE(customers(QStringLiteral("200002")), 0);

        // Corrected owner: the same pending record goes in once.
        edit("UserNoField")->selectAll();
        QTest::keyClicks(edit("UserNoField"), QStringLiteral("D1"));
        apply();
        QCOMPARE(fx->dialogs->entries.size(), 2);
        QCOMPARE(customers(QStringLiteral("200002")), 1);
        QCOMPARE(bodRows(QStringLiteral("200002")), 1);
    }

    void letterCaseMakesOtherAccountsAndOtherUsers()
    {
        openForm();
        // "abc" exists; "ABC" is another account, but its owner "ABC" is
        // not the user "abc".
        enterCustomer(QStringLiteral("ABC"), QStringLiteral("ABC"));
        apply();
        QCOMPARE(fx->dialogs->texts(), QStringList{"Cannot find User Number!"});
        edit("UserNoField")->selectAll();
        QTest::keyClicks(edit("UserNoField"), QStringLiteral("abc"));
        apply();
        QCOMPARE(fx->dialogs->entries.size(), 1);
        QCOMPARE(customers(QStringLiteral("ABC")), 1);
        QCOMPARE(bodRows(QStringLiteral("ABC")), 1);
        QCOMPARE(bodRows(QStringLiteral("abc")), 0);
    }

    void cancelDropsThePendingRecord()
    {
        openForm();
        const QString shown = fx->data->Customer_info->fieldByName(QStringLiteral("Account"))->asString();
        enterCustomer(QStringLiteral("200003"), QStringLiteral("D1"));
        QTest::mouseClick(form->Cancel, Qt::LeftButton);
        verifyBrowsing();
        QCOMPARE(edit("AccountField")->text(), shown);
        QCOMPARE(customers(QStringLiteral("200003")), 0);
        QCOMPARE(fx->data->Customer_info->state(), Dataset::Browse);
    }

    void aFailedPrintLeavesCompleteDataAndBrowsing()
    {
        openForm();
        ScopedSeam unprintable(&PrintJob::setOutputDir, QStringLiteral("/dev/null/cannot-print-here"));
        enterCustomer(QStringLiteral("200004"), QStringLiteral("D1"));
        apply();
        QCOMPARE(fx->dialogs->entries.size(), 1);
        verifyBrowsing();
        QCOMPARE(customers(QStringLiteral("200004")), 1);
        QCOMPARE(bodRows(QStringLiteral("200004")), 1);
    }

    void aDatabaseErrorWritesNothingAndKeepsTheRecordPending()
    {
        openForm();
        TestDb::exec(fx->conn, QStringLiteral("DROP TABLE BOD_Customer_File"));
        enterCustomer(QStringLiteral("200005"), QStringLiteral("D1"));
        apply();
        QCOMPARE(fx->dialogs->entries.size(), 1);
        QVERIFY(fx->dialogs->lastText().contains(QLatin1String("BOD_Customer_File"), Qt::CaseInsensitive));
        QVERIFY(form->isAdding());
        QCOMPARE(edit("AccountField")->text(), QStringLiteral("200005"));
        // The customer row went back with the failed copy.
        QCOMPARE(customers(QStringLiteral("200005")), 0);

        TestDb::exec(fx->conn, QStringLiteral("CREATE TABLE BOD_Customer_File (Account char(20) NOT NULL, \"Limit\" "
                                              "float NULL, Active smallint NULL, Margin int NULL, Cash_Bal float "
                                              "NULL, Currency char(10) NULL)"));
        apply();
        QCOMPARE(fx->dialogs->entries.size(), 1);
        QCOMPARE(customers(QStringLiteral("200005")), 1);
        QCOMPARE(bodRows(QStringLiteral("200005")), 1);
    }
};

VOX_TEST_MAIN(TestCusMain)
#include "tst_cusmain.moc"
