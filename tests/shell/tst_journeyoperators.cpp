#include "JourneyFixture.h"

#include "shell/MainForm.h"
#include "support/PdfText.h"
#include "support/TestDb.h"
#include "support/TestFiles.h"
#include "support/TestMain.h"
#include "support/Typing.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>

namespace {
void enter(QLineEdit *edit, const QString &text)
{
    retype(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
}

QStringList lines(const QListWidget *list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

// The password or code of a mailer: the word printed where the demo's
// configuration puts it (passwordx 3, passwordy 2: 30 and 20 mm into the
// printable area, whose margins are 10 mm), with the caption on its left.
QString printedSecret(const QString &file)
{
    QString secret;
    bool caption = false;
    for (const PdfText::Word &w : PdfText::words(file)) {
        if (qAbs(w.xMm - 40.0) < 1.0 && qAbs(w.yMm - 30.0) < 3.0)
            secret = w.text;
        if (w.text == QLatin1String("VOX") && qAbs(w.xMm - 15.0) < 1.0 && qAbs(w.yMm - 30.0) < 3.0)
            caption = true;
    }
    return caption ? secret : QStringLiteral("<no caption>");
}

QWidget *topLevel(const QString &name)
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->objectName() == name && w->isVisible())
            return w;
    }
    return nullptr;
}

const QString LoginColumns = QStringLiteral("SELECT DeviceName, ReferenceID, AccessCode, isEncrypted, Enabled, UserType "
                                            "FROM DeviceAccount WHERE Account = ? AND DeviceName = ?");
} // namespace

// The risk officer's and the login officer's days through the whole
// console: started as main() starts it in a demo folder, logged in through
// the login window, with the real risk manager program keeping
// riskman_file, and every change read back by a new lookup.
class TestJourneyOperators : public QObject
{
    Q_OBJECT

    std::unique_ptr<JourneyFixture> fx;

    void logIn(const QString &user, const QString &password)
    {
        QVERIFY(fx->start({{user, password}}));
        QVERIFY2(fx->dialogs->entries.isEmpty(), qPrintable(fx->dialogs->lastText()));
    }

    // Looks a channel login up in Login Management, answering Yes to adding
    // one, and saves it as the window proposes.
    void addLogin(QWidget *form, const QString &number, const QString &usage, const QString &deviceId = {})
    {
        JOURNEY_CONTROL(search, QLineEdit, form, "EdtAcct");
        JOURNEY_CONTROL(usages, QComboBox, form, "Usage");
        JOURNEY_CONTROL(find, QPushButton, form, "BitBtn1");
        JOURNEY_CONTROL(save, QPushButton, form, "SaveBtn");
        JOURNEY_CONTROL(device, QLineEdit, form, "Deviceidedt");
        retype(search, number);
        const int index = usages->findText(usage);
        QVERIFY(index >= 0);
        usages->setCurrentIndex(index);
        fx->dialogs->clear();
        clickOn(find);
        QCOMPARE(fx->dialogs->texts(QStringLiteral("question")),
                 QStringList{"No extra information about this login is defined. Do you want to add one?"});
        QVERIFY(save->isEnabled());
        if (!deviceId.isEmpty())
            retype(device, deviceId);
        clickOn(save);
        QCOMPARE(fx->dialogs->texts(), QStringList{"No extra information about this login is defined. Do you want to add one?"});
        QVERIFY(!save->isEnabled());
    }

    QList<QStringList> login(const QString &number, const QString &device)
    {
        return TestDb::rows(fx->conn, LoginColumns, {number, device});
    }

    void grant(QWidget *form, const QString &number, const char *kind, const QStringList &descriptions)
    {
        JOURNEY_CONTROL(edit, QLineEdit, form, "Edit1");
        auto *box = form->findChild<QRadioButton *>(QString::fromLatin1(kind));
        QVERIFY2(box, kind);
        JOURNEY_CONTROL(search, QPushButton, form, "Button6");
        JOURNEY_CONTROL(available, QListWidget, form, "Memo1");
        JOURNEY_CONTROL(select, QPushButton, form, "Button1");
        JOURNEY_CONTROL(save, QPushButton, form, "Button5");
        fx->dialogs->clear();
        retype(edit, number);
        tick(box);
        QVERIFY(box->isChecked());
        clickOn(search);
        for (const QString &description : descriptions) {
            const auto found = available->findItems(description, Qt::MatchExactly);
            QVERIFY2(!found.isEmpty(), qPrintable(description));
            QTest::mouseClick(available->viewport(), Qt::LeftButton, {},
                              available->visualItemRect(found.first()).center());
            clickOn(select);
        }
        clickOn(save);
        QVERIFY2(fx->dialogs->entries.isEmpty(), qPrintable(fx->dialogs->lastText()));
    }

    QStringList grants(const QString &number, int userType)
    {
        QStringList out;
        for (const QStringList &row :
             TestDb::rows(fx->conn, QStringLiteral("SELECT EntitlementID FROM AccountEntitle WHERE Account = ? AND "
                                                   "UserType = ?"),
                          {number, userType}))
            out << row.value(0);
        out.sort();
        return out;
    }

    // The line of an exported file that starts with the number.
    static QString exportLine(const QString &file, const QString &number)
    {
        const QString text = QString::fromLatin1(TestFiles::read(file));
        for (const QString &line : text.split(QStringLiteral("\r\n"))) {
            if (line.startsWith(number + QLatin1Char(',')))
                return line;
        }
        return {};
    }

private slots:
    void initTestCase_data() { VOX_DB_BACKENDS(); }

    void init()
    {
        QFETCH_GLOBAL(QString, backend);
        fx = std::make_unique<JourneyFixture>();
        if (!fx->setUp(backend))
            QSKIP("PostgreSQL test server not available");
    }

    void cleanup() { fx.reset(); }

    void riskOfficerChangesReachTheRiskManager()
    {
        logIn(QStringLiteral("RISK01"), QStringLiteral("risk"));
        if (QTest::currentTestFailed())
            return;
        TMainForm &main = fx->mainForm();
        QVERIFY(main.CustomerAction->isEnabled());
        QVERIFY(!main.UserAction->isEnabled());
        QVERIFY(!main.AcctPassAction->isEnabled());

        // Customer profile: a new ratio, no short-sell limit, suspended,
        // and the TWM channel switched off.
        QWidget *profile = fx->trigger("CustomerAction");
        QVERIFY(profile);
        JOURNEY_CONTROL(account, QLineEdit, profile, "EdtAcct");
        JOURNEY_CONTROL(upFront, QLineEdit, profile, "UpFrontField");
        JOURNEY_CONTROL(shortSell, QLineEdit, profile, "SSell");
        JOURNEY_CONTROL(suspend, QCheckBox, profile, "RdBtnSuspend");
        JOURNEY_CONTROL(devices, QListWidget, profile, "ListBox1");
        JOURNEY_CONTROL(save, QPushButton, profile, "Button3");
        JOURNEY_CONTROL(close, QPushButton, profile, "Button4");
        enter(account, QStringLiteral("100005"));
        QCOMPARE(upFront->text(), QStringLiteral("0.3"));
        QCOMPARE(shortSell->text(), QStringLiteral("50000"));
        QCOMPARE(lines(devices), (QStringList{"Internet             enabled", "TWM                  enabled"}));
        retype(upFront, QStringLiteral("0.4"));
        retype(shortSell, QString());
        tick(suspend);
        const QRect twm = devices->visualItemRect(devices->item(1));
        QTest::mouseClick(devices->viewport(), Qt::LeftButton, {}, twm.center());
        QTest::mouseDClick(devices->viewport(), Qt::LeftButton, {}, twm.center());
        QCOMPARE(lines(devices).value(1), QStringLiteral("TWM                 disabled"));
        clickOn(save);
        QVERIFY2(fx->dialogs->entries.isEmpty(), qPrintable(fx->dialogs->lastText()));
        QVERIFY(fx->commandsConfirmed());
        QCOMPARE(fx->riskRows(QStringLiteral("100005")),
                 (QStringList{"ORD|10|SUSPEND|", "ORD|10|UPFR|0.4", "TWMADMIN|10|SUSPEND|"}));

        // A new window's lookup shows what the risk manager stored.
        clickOn(close);
        QTRY_VERIFY(!main.childOfKind(ChildWindow::Customer));
        profile = fx->trigger("CustomerAction");
        QVERIFY(profile);
        JOURNEY_CONTROL(account2, QLineEdit, profile, "EdtAcct");
        enter(account2, QStringLiteral("100005"));
        JOURNEY_CONTROL(upFront2, QLineEdit, profile, "UpFrontField");
        JOURNEY_CONTROL(shortSell2, QLineEdit, profile, "SSell");
        JOURNEY_CONTROL(suspend2, QCheckBox, profile, "RdBtnSuspend");
        JOURNEY_CONTROL(devices2, QListWidget, profile, "ListBox1");
        QCOMPARE(upFront2->text(), QStringLiteral("0.4"));
        QCOMPARE(shortSell2->text(), QString());
        QVERIFY(suspend2->isChecked());
        QCOMPARE(lines(devices2), (QStringList{"Internet             enabled", "TWM                 disabled"}));

        // Security profile: a ratio and sell-only for a code typed short.
        QWidget *security = fx->trigger("SecurityAction");
        QVERIFY(security);
        JOURNEY_CONTROL(symbol, QLineEdit, security, "Edtsymbol");
        JOURNEY_CONTROL(ratio, QLineEdit, security, "UpFrontField");
        JOURNEY_CONTROL(sellOnly, QCheckBox, security, "RdBtnSell");
        JOURNEY_CONTROL(saveSecurity, QPushButton, security, "Button4");
        enter(symbol, QStringLiteral("700"));
        QCOMPARE(ratio->text(), QString());
        QVERIFY(!sellOnly->isChecked());
        retype(ratio, QStringLiteral("0.6"));
        tick(sellOnly);
        clickOn(saveSecurity);
        QVERIFY2(fx->dialogs->entries.isEmpty(), qPrintable(fx->dialogs->lastText()));
        QVERIFY(fx->commandsConfirmed());
        QCOMPARE(fx->riskRows(QStringLiteral("00700")), (QStringList{"ORD|0|SELL|", "ORD|0|UPFR|0.6"}));
        enter(symbol, QStringLiteral("941"));
        QCOMPARE(ratio->text(), QStringLiteral("0.5"));
        QVERIFY(!sellOnly->isChecked());
        enter(symbol, QStringLiteral("00700"));
        QCOMPARE(ratio->text(), QStringLiteral("0.6"));
        QVERIFY(sellOnly->isChecked());

        // Market parameter: set, read back, unset.
        QWidget *market = fx->trigger("MarketParamAction");
        QVERIFY(market);
        JOURNEY_CONTROL(marketRatio, QLineEdit, market, "EdtMRatio");
        JOURNEY_CONTROL(set, QPushButton, market, "Button1");
        JOURNEY_CONTROL(unset, QPushButton, market, "Button3");
        JOURNEY_CONTROL(refresh, QPushButton, market, "Button4");
        QCOMPARE(marketRatio->text(), QStringLiteral("0.5"));
        retype(marketRatio, QStringLiteral("0.75"));
        clickOn(set);
        QVERIFY(fx->commandsConfirmed());
        QCOMPARE(fx->riskRows(QStringLiteral("ALL")), QStringList{"ORD|ALL|MKTRATIO|0.75"});
        retype(marketRatio, QString());
        clickOn(refresh);
        QCOMPARE(marketRatio->text(), QStringLiteral("0.75"));
        clickOn(unset);
        QVERIFY(fx->commandsConfirmed());
        QCOMPARE(fx->riskRows(QStringLiteral("ALL")), QStringList());
        clickOn(refresh);
        QCOMPARE(marketRatio->text(), QString());
        QVERIFY2(fx->dialogs->entries.isEmpty(), qPrintable(fx->dialogs->lastText()));

        // Every command of the day was confirmed: nothing is listed.
        QWidget *unconfirmed = fx->trigger("UnconfirmedAction");
        QVERIFY(unconfirmed);
        JOURNEY_CONTROL(commands, QTableWidget, unconfirmed, "CommandList");
        QCOMPARE(commands->rowCount(), 0);
        QCOMPARE(fx->unconfirmedCount(), 0);
    }

    void loginOfficerIssuesLoginsGrantsAndExports()
    {
        logIn(QStringLiteral("LOGIN01"), QStringLiteral("login"));
        if (QTest::currentTestFailed())
            return;
        TMainForm &main = fx->mainForm();
        QVERIFY(main.EntitlementAction->isEnabled());
        QVERIFY(!main.CustomerAction->isEnabled());
        QWidget *logins = fx->trigger("AcctPassAction");
        QVERIFY(logins);
        QCOMPARE(logins->objectName(), QStringLiteral("TLoginMan"));

        // An Internet login: the digest of the printed password is stored.
        int printed = fx->printedCount();
        addLogin(logins, QStringLiteral("100021"), QStringLiteral("Internet"));
        if (QTest::currentTestFailed())
            return;
        QStringList files = fx->printedSince(printed);
        QCOMPARE(files.size(), 1);
        const QString password = printedSecret(files.first());
        QCOMPARE(password.size(), 8);
        QList<QStringList> rows = login(QStringLiteral("100021"), QStringLiteral("Internet"));
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].mid(2), (QStringList{sha1Hex(password), "1", "1", "1"}));

        // A TWM login: the six-digit code is stored as printed.
        printed = fx->printedCount();
        addLogin(logins, QStringLiteral("100021"), QStringLiteral("TWM"));
        if (QTest::currentTestFailed())
            return;
        files = fx->printedSince(printed);
        QCOMPARE(files.size(), 1);
        const QString code = printedSecret(files.first());
        QVERIFY2(!code.isEmpty() && QString::number(code.toInt()) == code && code.toInt() < 999999, qPrintable(code));
        rows = login(QStringLiteral("100021"), QStringLiteral("TWM"));
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].mid(2), (QStringList{code, "0", "1", "1"}));
        const QString twmLoginNumber = rows[0][1];

        // A dealer's card: its number as typed, nothing printed.
        printed = fx->printedCount();
        addLogin(logins, QStringLiteral("D003"), QStringLiteral("MCard"), QStringLiteral("6201887399"));
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(fx->printedSince(printed), QStringList());
        QCOMPARE(TestDb::rows(fx->conn, LoginColumns, {QStringLiteral("D003"), QStringLiteral("MCard")}),
                 (QList<QStringList>{{"MCard", "6201887399", "", "0", "1", "0"}}));

        // Entitlements of the account and of the dealer.
        QWidget *entitle = fx->trigger("EntitlementAction");
        QVERIFY(entitle);
        QCOMPARE(entitle->objectName(), QStringLiteral("TEntitle"));
        grant(entitle, QStringLiteral("100021"), "AccountBox",
              {QStringLiteral("Hong Kong Equities"), QStringLiteral("Internet Trading")});
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(grants(QStringLiteral("100021"), 1), (QStringList{"HKEQ", "ITRADE"}));
        grant(entitle, QStringLiteral("D003"), "UserBox", {QStringLiteral("Dealer Card Access")});
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(grants(QStringLiteral("D003"), 0), QStringList{"MCARD"});
        QCOMPARE(grants(QStringLiteral("100021"), 1), (QStringList{"HKEQ", "ITRADE"}));

        // The two exports, from Login Management into the demo folder.
        JOURNEY_CONTROL(listPrint, QPushButton, logins, "BitBtn2");
        clickOn(listPrint);
        QWidget *info = topLevel(QStringLiteral("TAccountInfo"));
        QVERIFY(info);
        JOURNEY_CONTROL(internet, QRadioButton, info, "RadioButton1");
        JOURNEY_CONTROL(twm, QRadioButton, info, "RadioButton2");
        JOURNEY_CONTROL(print, QPushButton, info, "Button1");
        JOURNEY_CONTROL(closeInfo, QPushButton, info, "Button2");
        tick(internet);
        clickOn(print);
        tick(twm);
        QVERIFY(twm->isChecked());
        clickOn(print);
        QVERIFY2(fx->dialogs->entries.isEmpty(), qPrintable(fx->dialogs->lastText()));
        const QString internetCsv = fx->path(QStringLiteral("Internet.csv"));
        const QString twmCsv = fx->path(QStringLiteral("TWM.csv"));
        QVERIFY(TestFiles::read(internetCsv).startsWith("Account Information for Internet trading\r\n"));
        QVERIFY(TestFiles::read(twmCsv).startsWith("Account Information for TWM\r\n"));
        const QString internetLine = exportLine(internetCsv, QStringLiteral("100021"));
        QVERIFY2(internetLine.endsWith(QStringLiteral(",TRUE")), qPrintable(internetLine));
        const QStringList internetFields = internetLine.split(QLatin1Char(','));
        QCOMPARE(internetFields.value(2), QStringLiteral("D001")); // the account's dealer
        QCOMPARE(QStringList(internetFields.value(3).split(QLatin1Char(';'), Qt::SkipEmptyParts)).size(), 2);
        QVERIFY(internetFields.value(3).contains(QStringLiteral("HKEQ;")));
        QVERIFY(internetFields.value(3).contains(QStringLiteral("ITRADE;")));
        const QString twmLine = exportLine(twmCsv, QStringLiteral("100021"));
        // The TWM list gives the login number where the Internet list gives
        // the entitlements.
        QCOMPARE(twmLine.split(QLatin1Char(',')).value(3), twmLoginNumber);
        QVERIFY2(twmLine.endsWith(QStringLiteral(",TRUE")), qPrintable(twmLine));
        // Logins of the demo are listed beside the new one.
        QVERIFY(!exportLine(internetCsv, QStringLiteral("100001")).isEmpty());
        QVERIFY(!exportLine(twmCsv, QStringLiteral("100008")).isEmpty());
        clickOn(closeInfo);
        QTRY_VERIFY(!topLevel(QStringLiteral("TAccountInfo")));
    }
};

VOX_TEST_MAIN(TestJourneyOperators)
#include "tst_journeyoperators.moc"
