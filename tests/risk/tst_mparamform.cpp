#include "net/Services.h"
#include "risk/MParamForm.h"
#include "support/DataModuleFixture.h"
#include "support/TestMain.h"
#include "support/Typing.h"

#include <QLineEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <memory>

namespace {
const QString SetCommand = QStringLiteral("set|MKTRATIO|%1|ORD|ALL|ALL|");
const QString UnsetCommand = QStringLiteral("unset|MKTRATIO||ORD|ALL|ALL|");
const QString RatioWhere = QStringLiteral(" FROM riskman_file WHERE targetsystem = 'ORD' AND receivertype = 'ALL' "
                                          "AND receiverid = 'ALL' AND attribute = 'MKTRATIO'");

// A test database, the data module on it and the risk-manager client,
// both made from the vox.ini of a temporary directory as the console
// makes them at start-up.
struct Console : DataModuleFixture {
    void storeRatio(const QString &value)
    {
        TestDb::exec(conn, QStringLiteral("DELETE") + RatioWhere);
        TestDb::exec(conn, QStringLiteral("INSERT INTO riskman_file (targetsystem, receivertype, receiverid, attribute, "
                                          "value) VALUES ('ORD', 'ALL', 'ALL', 'MKTRATIO', ?)"),
                     {value});
    }

    // The stored ratio rows, as "value" texts.
    QStringList storedRatios()
    {
        QStringList out;
        for (const QStringList &row : TestDb::rows(conn, QStringLiteral("SELECT value") + RatioWhere))
            out << row.value(0);
        return out;
    }
};
} // namespace

// The Market Parameter window, driven as an operator would: the value it
// shows from riskman_file and the commands it sends to a loopback stand-in
// for the risk manager; and, end to end, with the real stand-in program.
class TestMParamForm : public QObject
{
    Q_OBJECT

    std::unique_ptr<Console> fx;
    QPointer<TMParamForm> form;

    void openForm()
    {
        form = new TMParamForm;
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form));
    }

    void type(const QString &text)
    {
        retype(form->EdtMRatio, text);
        QCOMPARE(form->EdtMRatio->text(), text);
    }

    void click(QPushButton *button) { QTest::mouseClick(button, Qt::LeftButton); }

private slots:
    void initTestCase_data() { VOX_DB_BACKENDS(); }

    void init()
    {
        VOX_FIXTURE_SET_UP(fx, Console);
    }

    void cleanup()
    {
        if (form)
            form->close();
        QTest::qWait(10);
        fx.reset();
    }

    void showsTheStoredRatio_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("shown");
        QTest::newRow("bare number") << QStringLiteral("1.25") << QStringLiteral("1.25");
        QTest::newRow("name=number") << QStringLiteral("RATIO=0.75") << QStringLiteral("0.75");
        QTest::newRow("first = only") << QStringLiteral("a=b=3") << QStringLiteral("b=3");
        QTest::newRow("nothing after =") << QStringLiteral("RATIO=") << QString();
        QTest::newRow("empty value") << QString::fromLatin1("") << QString();
        QTest::newRow("no row") << QString() << QString();
    }

    void showsTheStoredRatio()
    {
        QFETCH(QString, stored);
        QFETCH(QString, shown);
        if (!stored.isNull())
            fx->storeRatio(stored);
        openForm();
        QCOMPARE(form->windowTitle(), QStringLiteral("Market Parameter"));
        QCOMPARE(form->EdtMRatio->text(), shown);

        // Refresh reads the table again, whatever the field holds.
        type(QStringLiteral("9"));
        fx->storeRatio(QStringLiteral("X=2.5"));
        click(form->Button4);
        QCOMPARE(form->EdtMRatio->text(), QStringLiteral("2.5"));
        TestDb::exec(fx->conn, QStringLiteral("DELETE") + RatioWhere);
        click(form->Button4);
        QCOMPARE(form->EdtMRatio->text(), QString());
        QCOMPARE(fx->dialogs->entries.size(), 0);
        QCOMPARE(fx->riskman.take(), QStringList());
    }

    void setSendsTheTextAsTyped_data()
    {
        QTest::addColumn<QString>("typed");
        for (const char *text : {" 1.5", "-2", "+.5", "3.", "1e-3", "2.5E+2 ", "007", "  0.1  "})
            QTest::newRow(text) << QString::fromLatin1(text);
    }

    void setSendsTheTextAsTyped()
    {
        fx->storeRatio(QStringLiteral("0.5"));
        openForm();
        QFETCH(QString, typed);
        type(typed);
        click(form->Button1);
        QCOMPARE(fx->dialogs->entries.size(), 0);
        QCOMPARE(fx->riskman.take(1), QStringList{SetCommand.arg(typed)});
        // Set does not refresh the field; the console writes no row itself.
        QCOMPARE(form->EdtMRatio->text(), typed);
        QCOMPARE(fx->storedRatios(), QStringList{QStringLiteral("0.5")});
    }

    void setRefusesWhatIsNoNumber_data()
    {
        QTest::addColumn<QString>("typed");
        for (const char *text : {"abc", "", "   ", "1.2.3", "1e", ".", "-", "1,5", "--1", "1 5", "0x10", "1.5|ORD",
                                 "1e5.0", "inf", "nan"})
            QTest::newRow(*text ? text : "empty") << QString::fromLatin1(text);
        QTest::newRow("full-width digit") << QStringLiteral("\uFF11");
        QTest::newRow("arabic-indic digit") << QStringLiteral("\u0661");
    }

    void setRefusesWhatIsNoNumber()
    {
        QFETCH(QString, typed);
        openForm();
        form->EdtMRatio->setText(typed);
        click(form->Button1);
        QCOMPARE(fx->dialogs->texts(), QStringList{QStringLiteral("Invalid Input")});
        QCOMPARE(fx->dialogs->lastKind(), QStringLiteral("report"));
        QCOMPARE(form->EdtMRatio->text(), typed);
        // Unset goes out whatever the field holds, and is the only line.
        click(form->Button3);
        QCOMPARE(fx->riskman.take(1), QStringList{UnsetCommand});
        QCOMPARE(fx->dialogs->entries.size(), 1);
    }

    void numbersAtAndBeyondTheValueColumn_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("refusal"); // empty: sent as typed
        QTest::newRow("10 characters") << "0.12345678" << "";
        QTest::newRow("10 with blanks") << " 1.5e+10  " << "";
        QTest::newRow("11 characters") << "0.123456789"
                                       << "The value of a risk command may be at most 10 characters long: 0.123456789";
        QTest::newRow("line end after the number")
            << "1.5\n" << "The value of a risk command must not contain \"|\" or a line end: 1.5 ";
        QTest::newRow("cr lf forging a command") << "1\r\nset|SUSPEND||ORD|10|1|" << "Invalid Input";
        QTest::newRow("quote") << "1.5'" << "Invalid Input";
        QTest::newRow("8-bit") << QString::fromLatin1("1.5\xa0") << "Invalid Input";
    }

    void numbersAtAndBeyondTheValueColumn()
    {
        QFETCH(QString, typed);
        QFETCH(QString, refusal);
        openForm();
        form->EdtMRatio->setText(typed);
        click(form->Button1);
        if (refusal.isEmpty()) {
            QCOMPARE(fx->dialogs->entries.size(), 0);
            QCOMPARE(fx->riskman.take(1), QStringList{SetCommand.arg(typed)});
        } else {
            QCOMPARE(fx->dialogs->texts(), QStringList{refusal});
            QCOMPARE(fx->riskman.take(), QStringList());
        }
    }

    void unsetAlwaysSendsItsCommand()
    {
        fx->storeRatio(QStringLiteral("1.5"));
        openForm();
        click(form->Button3);
        form->EdtMRatio->clear();
        click(form->Button3);
        QCOMPARE(fx->riskman.take(2), (QStringList{UnsetCommand, UnsetCommand}));
        QCOMPARE(fx->dialogs->entries.size(), 0);
        // The shown value stays until Refresh.
        QCOMPARE(fx->storedRatios(), QStringList{QStringLiteral("1.5")});
        click(form->Button4);
        QCOMPARE(form->EdtMRatio->text(), QStringLiteral("1.5"));
    }

    void quitClosesTheWindowAndTheProfile()
    {
        openForm();
        QVERIFY(fx->data->VOXProfile->isActive());
        click(form->Button2);
        QVERIFY(!fx->data->VOXProfile->isActive());
        QTRY_VERIFY(form.isNull());
        QCOMPARE(TMParamForm::current(), nullptr);
        QCOMPARE(fx->riskman.take(), QStringList());
    }

    void withoutARiskManagerClientTheOperatorIsTold()
    {
        ScopedSeam noClient(&setRiskManagerClient, nullptr);
        openForm();
        type(QStringLiteral("1.5"));
        click(form->Button1);
        click(form->Button3);
        const QStringList texts = fx->dialogs->texts(QStringLiteral("report"));
        QCOMPARE(texts.size(), 2);
        for (const QString &text : texts) {
            QVERIFY2(text.contains(QLatin1String("risk manager")), qPrintable(text));
            QVERIFY2(text.contains(QLatin1String(RiskManagerSection)), qPrintable(text));
        }
        QVERIFY(form->isVisible());
        QCOMPARE(form->EdtMRatio->text(), QStringLiteral("1.5"));
        QCOMPARE(fx->riskman.take(), QStringList());
    }

    // The console and the stand-in risk manager program share one vox.ini,
    // one database and one loopback port.
    void endToEndWithTheRiskManagerProgram()
    {
        QFETCH_GLOBAL(QString, backend);
        fx.reset();
        const quint16 port = freePort();
        fx = std::make_unique<Console>();
        QVERIFY(fx->setUp(backend, {}, port));

        QProcess program;
        program.setWorkingDirectory(fx->dir.path());
        program.setProcessChannelMode(QProcess::SeparateChannels);
        program.start(QStringLiteral(VOXRISKMAN_PATH), QStringList());
        QVERIFY2(program.waitForStarted(), qPrintable(program.errorString()));
        auto stop = qScopeGuard([&program] {
            program.kill();
            program.waitForFinished(5000);
        });
        QByteArray out;
        QTRY_VERIFY2_WITH_TIMEOUT((out += program.readAllStandardOutput()).contains("listening on 127.0.0.1:"),
                                  program.readAllStandardError().constData(), 10000);

        openForm();
        QCOMPARE(form->EdtMRatio->text(), QString());
        type(QStringLiteral("0.25"));
        click(form->Button1);
        QCOMPARE(fx->dialogs->entries.size(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(fx->storedRatios(), QStringList{QStringLiteral("0.25")}, 20000);
        form->EdtMRatio->clear();
        click(form->Button4);
        QCOMPARE(form->EdtMRatio->text(), QStringLiteral("0.25"));

        // A second Set replaces the row.
        type(QStringLiteral("1e-3"));
        click(form->Button1);
        QTRY_COMPARE_WITH_TIMEOUT(fx->storedRatios(), QStringList{QStringLiteral("1e-3")}, 20000);

        click(form->Button3);
        QTRY_COMPARE_WITH_TIMEOUT(fx->storedRatios(), QStringList(), 20000);
        click(form->Button4);
        QCOMPARE(form->EdtMRatio->text(), QString());

        QTRY_VERIFY((out += program.readAllStandardOutput()).contains("applied " + UnsetCommand.toLatin1()));
        QVERIFY(out.contains("applied " + SetCommand.arg(QStringLiteral("0.25")).toLatin1()));
        QCOMPARE(program.state(), QProcess::Running);
        QCOMPARE(fx->dialogs->entries.size(), 0);
    }
};

VOX_TEST_MAIN(TestMParamForm)
#include "tst_mparamform.moc"
