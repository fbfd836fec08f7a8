#include "LoginsFixture.h"
#include "core/VoxError.h"
#include "db/RowWrite.h"
#include "logins/LoginMan.h"
#include "support/TestMain.h"
#include "users/SHA.h"
#include "widgets/PrinterFactory.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSet>

// Login Management against a test database: the lookups, the rows written
// for each kind of device, the random codes, and the printed mailers.
class TestLoginMan : public QObject
{
    Q_OBJECT

    std::unique_ptr<LoginsFixture> fx;
    QPointer<TLoginMan> form;

    static QString sha1(const QString &text)
    {
        TSHA sha;
        sha.Init();
        sha.HashString(text);
        sha.Finish();
        return sha.GetHashString();
    }

    void openForm()
    {
        form = new TLoginMan;
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form));
    }

    void search(const QString &number, int usage, bool add = true)
    {
        form->EdtAcct->setText(number);
        form->Usage->setCurrentIndex(usage);
        fx->dialogs->answer(add);
        QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
        fx->dialogs->answers.clear();
    }

    void save() { QTest::mouseClick(form->SaveBtn, Qt::LeftButton); }

    // Account, DeviceName, ReferenceID, AccessCode, isEncrypted, Enabled, UserType, ExpireDate
    QList<QStringList> logins(const QString &account)
    {
        return TestDb::rows(fx->conn,
                            QStringLiteral("SELECT Account, DeviceName, ReferenceID, AccessCode, isEncrypted, Enabled, "
                                           "UserType, ExpireDate FROM DeviceAccount WHERE Account = ? ORDER BY DeviceName"),
                            {account});
    }

    QStringList printedSince(int before) { return PrintJob::writtenFiles().mid(before); }

    static QStringList words(const QString &file)
    {
        QStringList out;
        for (const auto &w : LoginsFixture::pdfWords(file))
            out << w.text;
        return out;
    }

private slots:
    void initTestCase_data() { VOX_DB_BACKENDS(); }

    void init()
    {
        VOX_FIXTURE_SET_UP(fx, LoginsFixture);
        fx->setIni(QStringLiteral("[TAMSEL]\r\ndevicelist=Kiosk, \"Web, Plus\"\r\n"));
        fx->addUser(QStringLiteral("D1"));
        fx->addCustomer(QStringLiteral("100001"), QStringLiteral("CHAN TAI MAN"));
        fx->addCustomer(QStringLiteral("ab12"), QStringLiteral("LOWER CASE"));
        fx->addInfo(QStringLiteral("ab12"), QStringLiteral("LOWER CASE LTD"), QStringLiteral("FLAT B"),
                    QStringLiteral("2 QUEEN ROAD"), QStringLiteral("CENTRAL"));
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

    void commaTextRules_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("empty") << "" << QStringList{};
        QTest::newRow("blanks around commas") << " a , b ,c" << QStringList{"a", "b", "c"};
        QTest::newRow("blank separates") << "a b" << QStringList{"a", "b"};
        QTest::newRow("quoted") << "\"Web, Plus\",x" << QStringList{"Web, Plus", "x"};
        QTest::newRow("doubled quote") << "\"say \"\"hi\"\"\"" << QStringList{"say \"hi\""};
        QTest::newRow("empty entries") << "a,,b," << QStringList{"a", "", "b", ""};
        QTest::newRow("leading comma") << ",a" << QStringList{"", "a"};
        QTest::newRow("unclosed quote") << "\"a b" << QStringList{"a b"};
    }
    void commaTextRules()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, entries);
        QCOMPARE(splitCommaText(text), entries);
    }

    void randomAlphabetAndRanges()
    {
        QSet<QChar> mapped;
        for (quint32 r = 0; r < 62; ++r)
            mapped.insert(LoginRandom::alphabetChar(r));
        QCOMPARE(mapped.size(), 62);
        const QString password = LoginRandom::password(62 * 60);
        QSet<QChar> seen;
        for (QChar c : password) {
            QVERIFY(c.isDigit() || (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
                    (c >= QLatin1Char('a') && c <= QLatin1Char('z')));
            seen.insert(c);
        }
        QCOMPARE(seen, mapped);
        QVERIFY(LoginRandom::password(0).isEmpty());
        QVERIFY(LoginRandom::password(-3).isEmpty());

        for (int i = 0; i < 2000; ++i) {
            QVERIFY(LoginRandom::below(3) < 3);
            const QString code = LoginRandom::twmCode();
            QVERIFY(code.toInt() < 999999 && QString::number(code.toInt()) == code);
            const QString id = LoginRandom::referenceId();
            QVERIFY2(id.size() >= 2 && id.size() <= 15, qPrintable(id));
            for (QChar c : id)
                QVERIFY(c.isDigit());
        }
    }

    void windowDrawsReferenceIdsAndPasswordCharacters()
    {
        // The window's own handlers give what the rules give.
        QSet<QString> ids;
        for (int i = 0; i < 50; ++i) {
            form->Deviceidedt->setText(QStringLiteral("TYPED"));
            form->genmcardid();
            const QString id = form->Deviceidedt->text();
            QVERIFY2(id.size() >= 2 && id.size() <= 15, qPrintable(id));
            for (QChar c : id)
                QVERIFY2(c.isDigit(), qPrintable(id));
            ids.insert(id);
        }
        QVERIFY(ids.size() > 1);
        QSet<QChar> seen;
        for (int i = 0; i < 62 * 60; ++i) {
            const QChar c = TLoginMan::randalphanum();
            QVERIFY(c.isDigit() || (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
                    (c >= QLatin1Char('a') && c <= QLatin1Char('z')));
            seen.insert(c);
        }
        QCOMPARE(seen.size(), 62);
    }

    void deviceNamesFollowTheConfiguration()
    {
        QStringList usage;
        for (int i = 0; i < form->Usage->count(); ++i)
            usage << form->Usage->itemText(i);
        QCOMPARE(usage, (QStringList{"Internet", "TWM", "MCard", "Kiosk", "Web, Plus"}));
        QCOMPARE(form->Devicetype->count(), 5);
        QCOMPARE(form->Usage->currentIndex(), 0);
        QVERIFY(!form->GroupBox1->isEnabled());
        QVERIFY(!form->SaveBtn->isEnabled());
        QVERIFY(!form->Devicetype->isEnabled());
        // Assistive tools find every edit by what its label says.
        const QPair<QWidget *, QString> inputs[] = {{form->EdtAcct, "Search"},       {form->AcctEdt, "Login Number"},
                                                    {form->Deviceidedt, "DeviceID"}, {form->Passwordedt, "Password"},
                                                    {form->Length1, "Password Length"}};
        for (const auto &[input, name] : inputs)
            QCOMPARE(QAccessible::queryAccessibleInterface(input)->text(QAccessible::Name), name);
    }

    void unknownAccountOrUserIsRefused()
    {
        search(QStringLiteral("AB12"), 0); // letter case counts
        QCOMPARE(fx->dialogs->entries.size(), 1);
        QCOMPARE(fx->dialogs->lastKind(), QStringLiteral("error"));
        QCOMPARE(fx->dialogs->lastText(), QStringLiteral("This account does not exist!"));
        QVERIFY(!form->SaveBtn->isEnabled());
        QVERIFY(form->AcctEdt->text().isEmpty());

        fx->dialogs->clear();
        search(QStringLiteral("100001"), 2); // MCard looks for a dealer
        QCOMPARE(fx->dialogs->texts(), QStringList{"This user does not exist!"});
        QVERIFY(!form->GroupBox1->isEnabled());
        QVERIFY(!form->SaveBtn->isEnabled());
        QVERIFY(form->Passwordedt->isHidden());
    }

    void internetLoginStoresTheDigestOfThePrintedPassword()
    {
        const int before = PrintJob::writtenFiles().size();
        search(QStringLiteral("ab12"), 0);
        QCOMPARE(fx->dialogs->texts(QStringLiteral("question")),
                 QStringList{"No extra information about this login is defined. Do you want to add one?"});
        QVERIFY(form->GroupBox1->isEnabled());
        QVERIFY(form->RandomBox->isVisible() && form->RandomBox->isChecked());
        QCOMPARE(form->Length1->text(), QStringLiteral("8"));
        QVERIFY(!form->Passwordedt->isEnabled());
        const QString reference = form->Deviceidedt->text();
        QVERIFY(reference.size() >= 2 && reference.size() <= 15);
        save();
        QCOMPARE(fx->dialogs->texts(QStringLiteral("report")), QStringList{});
        QVERIFY(!form->SaveBtn->isEnabled());

        const QString password = form->rules().lastPassword();
        QCOMPARE(password.size(), 8);
        const auto rows = logins(QStringLiteral("AB12"));
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0], (QStringList{"AB12", "Internet", reference, sha1(password), "1", "1", "1", ""}));

        const QStringList files = printedSince(before);
        QCOMPARE(files.size(), 1);
        const QStringList printed = words(files[0]);
        QVERIFY2(printed.contains(password), qPrintable(printed.join(' ')));
        QVERIFY(printed.contains(QStringLiteral("CENTRAL"))); // looked up as typed
        QCOMPARE(sha1(printed.at(printed.indexOf(password))), rows[0][3]);
    }

    void typedPasswordsAndDeviceIdsAreStoredExactlyOrRefused_data()
    {
        QTest::addColumn<QString>("deviceId");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("refusal"); // empty: stored and printed
        QTest::newRow("device id of 15") << "123456789012345" << "pw" << "";
        QTest::newRow("device id of 16") << "1234567890123456" << "pw"
                                         << QString::fromLatin1(LoginManagement::LongDeviceId);
        QTest::newRow("quotes") << "O'NEIL \"2\"" << "it's \"x\"" << "";
        QTest::newRow("bar") << "A|B" << "p|w|" << "";
        QTest::newRow("8-bit") << QString::fromLatin1("\xe9\xa0\xff") << QString::fromLatin1("caf\xe9\xb5") << "";
        QTest::newRow("password beyond 8-bit") << "77" << QStringLiteral("pa\u20acss")
                                               << QString::fromLatin1(LoginManagement::PasswordNot8Bit);
    }

    void typedPasswordsAndDeviceIdsAreStoredExactlyOrRefused()
    {
        QFETCH(QString, deviceId);
        QFETCH(QString, password);
        QFETCH(QString, refusal);
        const int before = PrintJob::writtenFiles().size();
        search(QStringLiteral("100001"), 0);
        QTest::mouseClick(form->RandomBox, Qt::LeftButton, {}, QPoint(5, form->RandomBox->height() / 2));
        QVERIFY(form->Passwordedt->isEnabled());
        form->Deviceidedt->setText(deviceId);
        form->Passwordedt->setText(password);
        save();
        if (!refusal.isEmpty()) {
            QCOMPARE(fx->dialogs->texts(QStringLiteral("report")) + fx->dialogs->texts(QStringLiteral("error")),
                     QStringList{refusal});
            QVERIFY(logins(QStringLiteral("100001")).isEmpty());
            QVERIFY(printedSince(before).isEmpty());
            QVERIFY(form->SaveBtn->isEnabled());
            return;
        }
        QVERIFY2(fx->dialogs->entries.size() == 1, qPrintable(fx->dialogs->lastText())); // the question
        QCOMPARE(logins(QStringLiteral("100001")),
                 (QList<QStringList>{{"100001", "Internet", deviceId, sha1(password), "1", "1", "1", ""}}));
        QCOMPARE(printedSince(before).size(), 1);
    }

    void twmCodeIsStoredPlain()
    {
        const int before = PrintJob::writtenFiles().size();
        search(QStringLiteral("100001"), 1);
        QVERIFY(form->RandomBox->isHidden());
        QVERIFY(form->Length1->isHidden());
        save();
        QVERIFY2(fx->dialogs->texts(QStringLiteral("report")).isEmpty(), qPrintable(fx->dialogs->lastText()));
        const QString code = form->rules().lastPassword();
        QVERIFY(code.toInt() < 999999 && QString::number(code.toInt()) == code);
        const auto rows = logins(QStringLiteral("100001"));
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].mid(1, 6), (QStringList{"TWM", form->Deviceidedt->text(), code, "0", "1", "1"}));
        const QStringList files = printedSince(before);
        QCOMPARE(files.size(), 1);
        QVERIFY(words(files[0]).contains(code));
    }

    void mcardDeviceIdOf15IsKeptAnd16Refused()
    {
        const int before = PrintJob::writtenFiles().size();
        search(QStringLiteral("D1"), 2);
        QVERIFY(form->GroupBox1->isEnabled());
        QVERIFY(form->Deviceidedt->text().isEmpty()); // no reference id generated for a dealer
        form->Deviceidedt->setText(QStringLiteral("1234567890123456"));
        save();
        QCOMPARE(fx->dialogs->texts(QStringLiteral("error")), QStringList{"Please input DEVICEID with 15 or less characters!"});
        QVERIFY(form->SaveBtn->isEnabled());
        QVERIFY(logins(QStringLiteral("D1")).isEmpty());

        form->Deviceidedt->setText(QStringLiteral("123456789012345"));
        save();
        QCOMPARE(fx->dialogs->texts(QStringLiteral("report")), QStringList{});
        QCOMPARE(logins(QStringLiteral("D1")),
                 (QList<QStringList>{{"D1", "MCard", "123456789012345", "", "0", "1", "0", ""}}));
        QCOMPARE(printedSince(before).size(), 0);
    }

    void editingKeepsTheKeyAndHashesWhatIsTyped()
    {
        fx->addDeviceLogin(QStringLiteral("kiosk"), QStringLiteral("ab12"), 1, QStringLiteral("77"), {}, false);
        search(QStringLiteral("ab12"), 3, false); // "Kiosk" matches "kiosk"
        QVERIFY(fx->dialogs->texts(QStringLiteral("question")).isEmpty());
        QCOMPARE(form->rules().mode(), LoginManagement::Mode::Editing);
        QCOMPARE(form->Devicetype->currentIndex(), 3);
        QCOMPARE(form->Deviceidedt->text(), QStringLiteral("77"));
        QCOMPARE(form->Passwordedt->text(), QStringLiteral("******"));
        QTest::mouseClick(form->RandomBox, Qt::LeftButton, {}, QPoint(5, form->RandomBox->height() / 2));
        QVERIFY(!form->RandomBox->isChecked());
        QVERIFY(form->Passwordedt->isEnabled());
        save();
        QVERIFY2(fx->dialogs->texts(QStringLiteral("report")).isEmpty(), qPrintable(fx->dialogs->lastText()));
        QCOMPARE(logins(QStringLiteral("ab12")),
                 (QList<QStringList>{{"ab12", "Kiosk", "77", sha1(QStringLiteral("******")), "1", "1", "1", ""}}));
    }

    void loginChangedByAnotherConsoleIsNotOverwritten()
    {
        fx->addDeviceLogin(QStringLiteral("TWM"), QStringLiteral("100001"), 1, QStringLiteral("R1"), {}, false);
        search(QStringLiteral("100001"), 1, false);
        QCOMPARE(form->rules().mode(), LoginManagement::Mode::Editing);
        TestDb::exec(fx->conn, QStringLiteral("UPDATE DeviceAccount SET ReferenceID = 'R2' WHERE Account = '100001'"));
        const QString code = logins(QStringLiteral("100001")).value(0).value(3);
        const int printed = PrintJob::writtenFiles().size();
        save();
        QCOMPARE(fx->dialogs->lastText(), QString::fromLatin1(RecordChangedError::Message));
        // Nothing written or printed; the window shows the login as stored.
        QCOMPARE(logins(QStringLiteral("100001")).value(0).value(3), code);
        QCOMPARE(form->Deviceidedt->text(), QStringLiteral("R2"));
        QVERIFY(printedSince(printed).isEmpty());
        // Made once more, the change is stored.
        save();
        QVERIFY(logins(QStringLiteral("100001")).value(0).value(3) != code);
        QCOMPARE(printedSince(printed).size(), 1);
    }

    void checksStopBeforeAnythingIsWritten()
    {
        const int before = PrintJob::writtenFiles().size();
        search(QStringLiteral("100001"), 0);
        form->Length1->setText(QStringLiteral("x8"));
        save();
        QCOMPARE(fx->dialogs->texts(QStringLiteral("report")), QStringList{"'x8' is not a valid integer value"});
        QVERIFY(form->SaveBtn->isEnabled());

        fx->dialogs->clear();
        form->Length1->setText(QStringLiteral("8"));
        fx->setIni(QStringLiteral("[TAMSEL_PRINT]\r\nheight=eleven\r\n"));
        save();
        QCOMPARE(fx->dialogs->texts(QStringLiteral("report")), QStringList{"'eleven' is not a valid floating point value"});
        QVERIFY(logins(QStringLiteral("100001")).isEmpty());
        QCOMPARE(printedSince(before).size(), 0);

        // A password length of nothing gives the empty password.
        fx->dialogs->clear();
        fx->setIni({});
        form->Length1->setText(QStringLiteral("0"));
        save();
        QCOMPARE(logins(QStringLiteral("100001")).value(0).value(3), sha1(QString()));
    }

    void failedStoreIsNotPrintedAndFailedPrintIsReported()
    {
        const int before = PrintJob::writtenFiles().size();
        search(QStringLiteral("100001"), 0);
        // Someone else stores the same login meanwhile: the insert is refused.
        fx->addDeviceLogin(QStringLiteral("Internet"), QStringLiteral("100001"), 1, QStringLiteral("1"), {}, true);
        save();
        QCOMPARE(fx->dialogs->texts(QStringLiteral("report")).size(), 1);
        QCOMPARE(printedSince(before).size(), 0);
        QVERIFY(form->SaveBtn->isEnabled());
        QCOMPARE(logins(QStringLiteral("100001")).value(0).value(3), QStringLiteral("x"));

        fx->dialogs->clear();
        search(QStringLiteral("100001"), 1);
        form->rules().setPrinter([](const TLoginMailer &, const QString &, const QString &) {
            throw VoxError(QStringLiteral("There is no default printer."));
        });
        save();
        QCOMPARE(fx->dialogs->texts(QStringLiteral("report")),
                 QStringList{"The login of 100001 on TWM was saved, but its mailer was not printed: There is no "
                             "default printer."});
        QCOMPARE(logins(QStringLiteral("100001")).size(), 2);
    }
};

VOX_TEST_MAIN(TestLoginMan)
#include "tst_loginman.moc"
