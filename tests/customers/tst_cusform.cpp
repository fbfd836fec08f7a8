#include "CustomersFixture.h"
#include "customers/AccountSearch.h"
#include "customers/CusForm.h"
#include "support/TestMain.h"
#include "support/Typing.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include "widgets/DBGrid.h"

// The Customer Profile window and the Search Account window, driven as an
// operator would against a test database, with a loopback stand-in for the
// risk manager receiving the commands.
class TestCusForm : public QObject
{
    Q_OBJECT

    std::unique_ptr<CustomersFixture> fx;
    QPointer<TCusForm> form;

    void openForm()
    {
        form = new TCusForm;
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form));
    }

    void lookUp(const QString &account)
    {
        retype(form->EdtAcct, account);
        QTest::keyClick(form->EdtAcct, Qt::Key_Return);
    }

    void save() { QTest::mouseClick(form->Button3, Qt::LeftButton); }

    static QString ord(const QString &verb, const QString &attribute, const QString &account,
                       const QString &value = {})
    {
        return QStringLiteral("%1|%2|%3|ORD|10|%4|").arg(verb, attribute, value, account);
    }

    QStringList shownLines() const
    {
        QStringList out;
        for (int i = 0; i < form->ListBox1->count(); ++i)
            out << form->ListBox1->item(i)->text();
        return out;
    }

private slots:
    void initTestCase_data() { VOX_DB_BACKENDS(); }

    void init()
    {
        VOX_FIXTURE_SET_UP(fx, CustomersFixture);
        fx->addUser(QStringLiteral("D1"));
        fx->addCustomer(QStringLiteral("100001"), QStringLiteral("CHAN TAI MAN"));
        fx->addCustomer(QStringLiteral("100002"), QStringLiteral("WONG SIU FONG"));
        fx->addCustomer(QStringLiteral("xy200"), QStringLiteral("LOWER CASE LTD"));
        fx->addCustomer(QStringLiteral("AB%_1"), QStringLiteral("50% HOLDINGS"));
        fx->addCustomer(QStringLiteral("ZZ900"), QStringLiteral("ZETA TRADING"));
    }

    void cleanup()
    {
        if (form)
            form->close();
        QTest::qWait(10);
        fx.reset();
    }

    void lookupShowsTheRowsAndSaveSendsTheCatalogueInOrder()
    {
        fx->addRule("ORD", "10", "100001", "UPFR", "30");
        fx->addRule("ORD", "10", "100001", "SUSPEND");
        fx->addRule("ITS", "10", "100001", "UPFR", "99"); // other targets are not shown
        openForm();
        lookUp(QStringLiteral("100001"));
        QCOMPARE(form->Label5->text(), QStringLiteral("CHAN TAI MAN"));
        QCOMPARE(form->UpFrontField->text(), QStringLiteral("30"));
        QCOMPARE(form->SSell->text(), QString());
        QVERIFY(form->RdBtnSuspend->isChecked());
        QVERIFY(!form->RdBtnSell->isChecked());
        QVERIFY(!form->DayTradeBox->isChecked());
        QVERIFY(form->DeviceBox->isHidden());
        QCOMPARE(QApplication::focusWidget(), form->UpFrontField);

        save();
        QCOMPARE(fx->riskman.take(3), (QStringList{ord("set", "SUSPEND", "100001"), ord("unset", "SELL", "100001"),
                                                   ord("unset", "DAYTRADE", "100001")}));
        // The boxes still show what was sent; the console wrote nothing.
        QVERIFY(form->RdBtnSuspend->isChecked());
        QCOMPARE(fx->count("SELECT COUNT(*) FROM riskman_file"), 3);
        QVERIFY(fx->dialogs->entries.isEmpty());
    }

    void changedRatiosAreSetOrUnsetAsTyped()
    {
        fx->addRule("ORD", "10", "100001", "UPFR", "30");
        openForm();
        lookUp(QStringLiteral("100001"));
        retype(form->UpFrontField, QString());
        retype(form->SSell, QStringLiteral(" 5000 "));
        QTest::mouseClick(form->DayTradeBox, Qt::LeftButton);
        save();
        QCOMPARE(fx->riskman.take(5),
                 (QStringList{ord("unset", "UPFR", "100001"), ord("set", "SSELL", "100001", " 5000 "),
                              ord("unset", "SUSPEND", "100001"), ord("unset", "SELL", "100001"),
                              ord("set", "DAYTRADE", "100001")}));
        // The loaded values stay: a second Save sends the changes again.
        save();
        QCOMPARE(fx->riskman.take(5).mid(0, 2),
                 (QStringList{ord("unset", "UPFR", "100001"), ord("set", "SSELL", "100001", " 5000 ")}));
    }

    void deviceLinesFollowTheLoginsAndTheRules_data()
    {
        QTest::addColumn<int>("internet"); // -1 no login, 0 disabled, 1 enabled
        QTest::addColumn<int>("twm");      // -1 no login, 0 suspended, 1 allowed
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QStringList>("commands");
        const QString ie = QStringLiteral("Internet             enabled");
        const QString id = QStringLiteral("Internet            disabled");
        const QString te = QStringLiteral("TWM                  enabled");
        const QString td = QStringLiteral("TWM                 disabled");
        const QString its = QStringLiteral("%1|SUSPEND||ITS|10|100002|");
        const QString twm = QStringLiteral("%1|SUSPEND||TWMADMIN|10|100002|");
        QTest::newRow("none") << -1 << -1 << QStringList{} << QStringList{};
        QTest::newRow("internet on") << 1 << -1 << QStringList{ie} << QStringList{its.arg("unset")};
        QTest::newRow("internet off") << 0 << -1 << QStringList{id} << QStringList{its.arg("set")};
        QTest::newRow("twm allowed") << -1 << 1 << QStringList{te} << QStringList{twm.arg("unset")};
        QTest::newRow("twm suspended") << -1 << 0 << QStringList{td} << QStringList{twm.arg("set")};
        QTest::newRow("both on") << 1 << 1 << QStringList{ie, te} << QStringList{its.arg("unset"), twm.arg("unset")};
        QTest::newRow("both off") << 0 << 0 << QStringList{id, td} << QStringList{its.arg("set"), twm.arg("set")};
        QTest::newRow("on and suspended") << 1 << 0 << QStringList{ie, td} << QStringList{its.arg("unset"), twm.arg("set")};
    }

    void deviceLinesFollowTheLoginsAndTheRules()
    {
        QFETCH(int, internet);
        QFETCH(int, twm);
        QFETCH(QStringList, lines);
        QFETCH(QStringList, commands);
        if (internet >= 0)
            fx->addLogin(QStringLiteral("100002"), QStringLiteral("Internet"), internet == 1);
        if (twm >= 0)
            fx->addLogin(QStringLiteral("100002"), QStringLiteral("TWM"), true);
        if (twm == 0)
            fx->addRule("TWMADMIN", "10", "100002", "SUSPEND");
        openForm();
        lookUp(QStringLiteral("100002"));
        QCOMPARE(shownLines(), lines);
        for (const QString &line : lines)
            QCOMPARE(line.size(), 28);
        QCOMPARE(form->DeviceBox->isVisible(), !lines.isEmpty());
        save();
        QCOMPARE(fx->riskman.take(3 + commands.size()).mid(3), commands);
    }

    void doubleClickTogglesALineAndSaveSendsIt()
    {
        fx->addLogin(QStringLiteral("100002"), QStringLiteral("Internet"), true);
        fx->addLogin(QStringLiteral("100002"), QStringLiteral("TWM"), true);
        openForm();
        lookUp(QStringLiteral("100002"));
        // Nothing selected: nothing happens.
        form->ListBox1->setCurrentRow(-1);
        form->ListBox1DblClick();
        QCOMPARE(shownLines(), (QStringList{"Internet             enabled", "TWM                  enabled"}));

        const QRect twmRect = form->ListBox1->visualItemRect(form->ListBox1->item(1));
        QTest::mouseClick(form->ListBox1->viewport(), Qt::LeftButton, {}, twmRect.center());
        QTest::mouseDClick(form->ListBox1->viewport(), Qt::LeftButton, {}, twmRect.center());
        QCOMPARE(shownLines(), (QStringList{"Internet             enabled", "TWM                 disabled"}));
        form->ListBox1->setCurrentRow(0);
        form->ListBox1DblClick();
        form->ListBox1DblClick();
        QCOMPARE(shownLines().value(0), QStringLiteral("Internet             enabled"));
        save();
        QCOMPARE(fx->riskman.take(5).mid(3), (QStringList{"unset|SUSPEND||ITS|10|100002|",
                                                          "set|SUSPEND||TWMADMIN|10|100002|"}));
    }

    void suspendClearsSellOnlyOnlyWhenTheOperatorChangesIt()
    {
        // Both rows, whatever order they come in: both boxes ticked.
        fx->addRule("ORD", "10", "100001", "SELL");
        fx->addRule("ORD", "10", "100001", "SUSPEND");
        fx->addRule("ORD", "10", "100002", "SUSPEND");
        fx->addRule("ORD", "10", "100002", "SELL");
        openForm();
        for (const char *account : {"100001", "100002"}) {
            lookUp(QString::fromLatin1(account));
            QVERIFY(form->RdBtnSuspend->isChecked());
            QVERIFY(form->RdBtnSell->isChecked());
        }
        QTest::mouseClick(form->RdBtnSuspend, Qt::LeftButton);
        QVERIFY(!form->RdBtnSuspend->isChecked());
        QVERIFY(!form->RdBtnSell->isChecked());
        QTest::mouseClick(form->RdBtnSell, Qt::LeftButton);
        QTest::mouseClick(form->RdBtnSuspend, Qt::LeftButton);
        QVERIFY(form->RdBtnSuspend->isChecked());
        QVERIFY(!form->RdBtnSell->isChecked());
        QTest::mouseClick(form->RdBtnSell, Qt::LeftButton);
        QVERIFY(form->RdBtnSuspend->isChecked());
        QVERIFY(form->RdBtnSell->isChecked());
    }

    void anUnknownAccountClearsTheWindowAndSaveSendsNothing()
    {
        fx->addRule("ORD", "10", "100001", "UPFR", "30");
        fx->addLogin(QStringLiteral("100001"), QStringLiteral("TWM"), true);
        openForm();
        lookUp(QStringLiteral("100001"));
        QVERIFY(form->DeviceBox->isVisible());
        lookUp(QStringLiteral("999999"));
        QCOMPARE(fx->dialogs->lastText(), QStringLiteral("No such account defined in the system!"));
        QCOMPARE(form->UpFrontField->text(), QString());
        QCOMPARE(form->Label5->text(), QString());
        QVERIFY(form->DeviceBox->isHidden());
        QCOMPARE(form->ListBox1->count(), 0);
        save();
        QCOMPARE(fx->dialogs->lastText(), QString::fromLatin1(CustomerProfile::LookUpFirst));
        QVERIFY(fx->riskman.take().isEmpty());
    }

    void saveGoesOnlyToTheAccountLookedUp()
    {
        openForm();
        lookUp(QStringLiteral("100001"));
        retype(form->EdtAcct, QStringLiteral("100002"));
        save();
        QCOMPARE(fx->dialogs->lastText(), QString::fromLatin1(CustomerProfile::LookUpFirst));
        QVERIFY(fx->riskman.take().isEmpty());
        // Blanks around the same account are no other account.
        retype(form->EdtAcct, QStringLiteral(" 100001 "));
        save();
        QCOMPARE(fx->riskman.take(3).value(0), ord("unset", "SUSPEND", "100001"));
    }

    void aFieldTheCommandCannotCarrySendsNothing()
    {
        openForm();
        lookUp(QStringLiteral("100001"));
        retype(form->SSell, QStringLiteral("50|0"));
        save();
        QCOMPARE(fx->dialogs->entries.size(), 1);
        QVERIFY(fx->riskman.take().isEmpty());
    }

    // ---- edge texts in the fields ------------------------------------------

    void ratioTextsAreSentExactlyOrRefusedWhole_data()
    {
        QTest::addColumn<bool>("shortSell");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("refusal"); // empty: sent as typed
        const QString bar = QStringLiteral("The value of a risk command must not contain \"|\" or a line end: ");
        QTest::newRow("value of 10") << false << "1234567890" << "";
        QTest::newRow("value of 11") << true << "12345678901"
                                     << "The value of a risk command may be at most 10 characters long: 12345678901";
        QTest::newRow("bar") << false << "5|ORD" << bar + "5|ORD";
        QTest::newRow("cr") << true << "5\r" << bar + "5 ";
        QTest::newRow("lf forging a second command")
            << false << "5\nset|SUSPEND||ORD|10|100002|" << bar + "5 set|SUSPEND||ORD|10|100002|";
        QTest::newRow("quotes") << true << "'5\"" << "";
        QTest::newRow("8-bit") << false << QString::fromLatin1("\xe9\xa0" "5\xff") << "";
        QTest::newRow("beyond 8-bit") << true << QStringLiteral("5\u20ac")
                                      << "The value of a risk command holds a character that cannot be sent: 5\u20ac";
    }

    void ratioTextsAreSentExactlyOrRefusedWhole()
    {
        QFETCH(bool, shortSell);
        QFETCH(QString, text);
        QFETCH(QString, refusal);
        openForm();
        lookUp(QStringLiteral("100001"));
        (shortSell ? form->SSell : form->UpFrontField)->setText(text);
        save();
        const QString attribute = QLatin1String(shortSell ? "SSELL" : "UPFR");
        if (refusal.isEmpty()) {
            QVERIFY2(fx->dialogs->entries.isEmpty(), qPrintable(fx->dialogs->lastText()));
            QCOMPARE(fx->riskman.take(4).value(0), ord("set", attribute, "100001", text));
        } else {
            // Nothing of the save goes out, not even the flags.
            QCOMPARE(fx->dialogs->texts(), QStringList{refusal});
            QVERIFY(fx->riskman.take().isEmpty());
        }
    }

    void accountTextsFindNothingOrAreRefused_data()
    {
        QTest::addColumn<QString>("account");
        QTest::addColumn<QString>("lookupMessage"); // empty: found
        QTest::addColumn<QString>("saveMessage");   // empty: sent
        const QString none = QString::fromLatin1(CustomerProfile::NoSuchAccount);
        QTest::newRow("receiver id of 15") << "ABCDEFGHIJ12345" << "" << "";
        QTest::newRow("account of 16") << "ABCDEFGHIJ123456" << ""
                                       << "The receiver id of a risk command may be at most 15 characters long: "
                                          "ABCDEFGHIJ123456";
        QTest::newRow("account of 20") << "ABCDEFGHIJ1234567890" << ""
                                       << "The receiver id of a risk command may be at most 15 characters long: "
                                          "ABCDEFGHIJ1234567890";
        QTest::newRow("quote") << "10'0001" << none << "";
        QTest::newRow("bar") << "100001|" << none << "";
        QTest::newRow("lf") << "100001\nset|SELL||ORD|10|100002|" << none << "";
    }

    void accountTextsFindNothingOrAreRefused()
    {
        QFETCH(QString, account);
        QFETCH(QString, lookupMessage);
        QFETCH(QString, saveMessage);
        if (lookupMessage.isEmpty())
            fx->addCustomer(account, QStringLiteral("LONG NUMBER LTD"));
        openForm();
        form->EdtAcct->setText(account);
        QTest::keyClick(form->EdtAcct, Qt::Key_Return);
        if (!lookupMessage.isEmpty()) {
            QCOMPARE(fx->dialogs->texts(), QStringList{lookupMessage});
            save();
            QCOMPARE(fx->dialogs->lastText(), QString::fromLatin1(CustomerProfile::LookUpFirst));
            QVERIFY(fx->riskman.take().isEmpty());
            return;
        }
        QCOMPARE(form->Label5->text(), QStringLiteral("LONG NUMBER LTD"));
        QTest::mouseClick(form->DayTradeBox, Qt::LeftButton);
        save();
        if (saveMessage.isEmpty()) {
            QVERIFY2(fx->dialogs->entries.isEmpty(), qPrintable(fx->dialogs->lastText()));
            QCOMPARE(fx->riskman.take(3).value(2), ord("set", "DAYTRADE", account));
        } else {
            QCOMPARE(fx->dialogs->texts(), QStringList{saveMessage});
            QVERIFY(fx->riskman.take().isEmpty());
        }
    }

    void accountsAreFoundWhateverTheLetterCase()
    {
        openForm();
        // The field turns typing to capitals; the stored lower-case
        // account is found all the same.
        lookUp(QStringLiteral("xy200"));
        QCOMPARE(form->EdtAcct->text(), QStringLiteral("XY200"));
        QCOMPARE(form->Label5->text(), QStringLiteral("LOWER CASE LTD"));
        QVERIFY(fx->dialogs->entries.isEmpty());
    }

    void aNewLookupReadsTheRulesAgain()
    {
        openForm();
        lookUp(QStringLiteral("100001"));
        QVERIFY(!form->RdBtnSell->isChecked());
        fx->addRule("ORD", "10", "100001", "SELL");
        lookUp(QStringLiteral("100001"));
        QVERIFY(form->RdBtnSell->isChecked());
    }

    void aFailedReadIsReportedNotShownAsNoRules()
    {
        openForm();
        TestDb::exec(fx->conn, QStringLiteral("DROP TABLE riskman_file"));
        lookUp(QStringLiteral("100001"));
        QCOMPARE(fx->dialogs->entries.size(), 1);
        QVERIFY(fx->dialogs->lastText().contains(QLatin1String("riskman_file"), Qt::CaseInsensitive));
        save();
        QCOMPARE(fx->dialogs->lastText(), QString::fromLatin1(CustomerProfile::LookUpFirst));
        QVERIFY(fx->riskman.take().isEmpty());
    }

    // ---- Search Account -------------------------------------------------

    void searchFindsPrefixesOfNumbersAndNamesAsData_data()
    {
        QTest::addColumn<bool>("byName");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("found");
        QTest::newRow("number") << false << "10000" << "100001";
        QTest::newRow("number, other case") << false << "XY" << "xy200";
        QTest::newRow("percent is a character") << false << "AB%" << "AB%_1";
        QTest::newRow("underscore is a character") << false << "1_" << "";
        QTest::newRow("name") << true << "WONG" << "100002";
        QTest::newRow("name with percent") << true << "50%" << "AB%_1";
        QTest::newRow("nothing") << true << "QQQ" << "";
    }

    void searchFindsPrefixesOfNumbersAndNamesAsData()
    {
        QFETCH(bool, byName);
        QFETCH(QString, text);
        QFETCH(QString, found);
        QCOMPARE(AccountSearch::firstMatch(*fx->data->Database1,
                                           byName ? AccountSearch::By::Name : AccountSearch::By::Number, text),
                 found);
    }

    void searchMovesTheGridAndADoubleClickLoadsTheAccount()
    {
        fx->addRule("ORD", "10", "100002", "DAYTRADE");
        openForm();
        QPointer<TAccountSearch> search;
        QTimer::singleShot(0, this, [&] {
            search = qobject_cast<TAccountSearch *>(QApplication::activeModalWidget());
            QVERIFY(search);
            Dataset *ds = fx->data->Cust_search;
            QVERIFY(ds->isActive());
            QTest::keyClicks(search->Edit1, QStringLiteral("zz"));
            QCOMPARE(search->Edit1->text(), QStringLiteral("ZZ"));
            QTest::keyClick(search->Edit1, Qt::Key_Return);
            QCOMPARE(ds->fieldByName("Account")->asString(), QStringLiteral("ZZ900"));
            // No match: the grid stays.
            search->Edit1->setText(QStringLiteral("NOPE"));
            QTest::keyClick(search->Edit1, Qt::Key_Return);
            QCOMPARE(ds->fieldByName("Account")->asString(), QStringLiteral("ZZ900"));
            QTest::mouseClick(search->RadioButton2, Qt::LeftButton);
            search->Edit1->setText(QStringLiteral("wong"));
            QTest::keyClick(search->Edit1, Qt::Key_Return);
            QCOMPARE(ds->fieldByName("Account")->asString(), QStringLiteral("100002"));
            search->DBGrid1DblClick();
        });
        QTest::mouseClick(form->Button1, Qt::LeftButton);
        QVERIFY(search.isNull()); // destroyed after use
        QCOMPARE(form->EdtAcct->text(), QStringLiteral("100002"));
        QCOMPARE(form->Label5->text(), QStringLiteral("WONG SIU FONG"));
        QVERIFY(form->DayTradeBox->isChecked());
        QVERIFY(!fx->data->Cust_search->isActive());
        QVERIFY(fx->dialogs->entries.isEmpty());
    }
};

VOX_TEST_MAIN(TestCusForm)
#include "tst_cusform.moc"
