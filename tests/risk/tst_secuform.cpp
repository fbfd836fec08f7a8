#include "risk/Convertsymbol.h"
#include "risk/SecuForm.h"
#include "risk/SecurityProfile.h"
#include "risk/SymbolFrm.h"
#include "support/DataModuleFixture.h"
#include "support/TestMain.h"
#include "support/Typing.h"
#include "widgets/DBGrid.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <memory>

namespace {
// A test database with securities, the data module on it, and a loopback
// line server standing in for the risk manager.
struct SecurityFixture : DataModuleFixture {
    void addSymbol(const QString &symbol, const QString &name)
    {
        TestDb::exec(conn, QStringLiteral("INSERT INTO symbol_lot_size (symbol, size, symbol_name) VALUES (?, '100', ?)"),
                     {symbol, name});
    }

    void addRule(const QString &receiver, const QString &attribute, const QString &value = {},
                 const QString &type = QStringLiteral("0"))
    {
        addRiskRule(QStringLiteral("ORD"), type, receiver, attribute, value);
    }

    bool setUp(const QString &backend)
    {
        if (!DataModuleFixture::setUp(backend))
            return false;
        for (const char *s : {"00005", "00700", "02800", "ABC", "abc", "AAPL"})
            addSymbol(QString::fromLatin1(s), QStringLiteral("NAME ") + QString::fromLatin1(s));
        return true;
    }
};
} // namespace

// The Security Profile window and the Search Symbol window, driven as an
// operator would, with a loopback stand-in for the risk manager.
class TestSecuForm : public QObject
{
    Q_OBJECT

    std::unique_ptr<SecurityFixture> fx;
    QPointer<TSecuForm> form;

    void openForm()
    {
        form = new TSecuForm;
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form));
    }

    void lookUp(const QString &symbol)
    {
        retype(form->Edtsymbol, symbol);
        QTest::keyClick(form->Edtsymbol, Qt::Key_Return);
    }

    void save() { QTest::mouseClick(form->Button4, Qt::LeftButton); }

private slots:
    void initTestCase_data() { VOX_DB_BACKENDS(); }

    void init()
    {
        VOX_FIXTURE_SET_UP(fx, SecurityFixture);
    }

    void cleanup()
    {
        if (form)
            form->close();
        QTest::qWait(10);
        delete TSymbolFrm::shared();
        fx.reset();
    }

    void symbolCodesAreNormalised_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("code");
        QTest::newRow("one digit") << "5" << "00005";
        QTest::newRow("padded") << "0005" << "00005";
        QTest::newRow("five digits unchanged") << "00005" << "00005";
        QTest::newRow("12345 unchanged") << "12345" << "12345";
        QTest::newRow("leading blanks") << "  70" << "00070";
        QTest::newRow("sign") << "+700" << "00700";
        QTest::newRow("negative") << "-5" << "-00005";
        QTest::newRow("dollar hex") << "$1F" << "00031";
        QTest::newRow("x hex") << "x10" << "00016";
        QTest::newRow("X hex") << "XFF" << "00255";
        QTest::newRow("0x hex") << "0x1F" << "00031";
        QTest::newRow("0X hex") << "0XA" << "00010";
        QTest::newRow("letters") << "ABC" << "ABC";
        QTest::newRow("hex letters without prefix") << "1F" << "1F";
        QTest::newRow("trailing blank") << "5 " << "5 ";
        QTest::newRow("prefix alone") << "$" << "$";
        QTest::newRow("0x alone") << "0x" << "0x";
        QTest::newRow("sign alone") << "-" << "-";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("too long") << "00700 " << "00700 ";
    }

    void symbolCodesAreNormalised()
    {
        QFETCH(QString, typed);
        QFETCH(QString, code);
        QCOMPARE(Convertsymbol(typed), code);
    }

    void aNumericSymbolIsLookedUpAndSentWithFiveDigits()
    {
        fx->addRule(QStringLiteral("00005"), QStringLiteral("UPFR"), QStringLiteral("0.5"));
        openForm();
        QCOMPARE(QApplication::focusWidget(), form->Edtsymbol);
        lookUp(QStringLiteral("5"));
        QCOMPARE(form->Edtsymbol->text(), QStringLiteral("5"));
        QCOMPARE(form->UpFrontField->text(), QStringLiteral("0.5"));
        QVERIFY(!form->RdBtnSell->isChecked());
        form->RdBtnSell->click();
        save();
        QCOMPARE(fx->riskman.take(1), QStringList{"set|SELL||ORD|0|00005|"});
        // Typing the five digits is the same symbol.
        retype(form->Edtsymbol, QStringLiteral("00005"));
        retype(form->UpFrontField, QString());
        save();
        QCOMPARE(fx->riskman.take(2), (QStringList{"unset|UPFR||ORD|0|00005|", "set|SELL||ORD|0|00005|"}));
        QVERIFY(fx->dialogs->entries.isEmpty());
    }

    void edgeTextsAreSentExactlyOrRefusedWhole_data()
    {
        QTest::addColumn<QString>("symbol");
        QTest::addColumn<QString>("ratio");
        QTest::addColumn<QString>("refusal"); // empty: the ratio is sent as typed
        const QString bar = QStringLiteral("The value of a risk command must not contain \"|\" or a line end: ");
        QTest::newRow("symbol at the width, ratio of 10") << "SYMBOL0010" << "0.12345678" << "";
        QTest::newRow("ratio of 11") << "AAPL" << "0.123456789"
                                     << "The value of a risk command may be at most 10 characters long: 0.123456789";
        QTest::newRow("quoted symbol") << "O'\"Q" << "'1\"" << "";
        QTest::newRow("8-bit symbol and ratio") << QString::fromLatin1("\xc9\xdf\xff") << QString::fromLatin1("1\xb5")
                                                << "";
        QTest::newRow("bar in the ratio") << "AAPL" << "1|ITS" << bar + "1|ITS";
        QTest::newRow("line end forging a command") << "AAPL" << "1\r\nunset|SELL||ORD|0|00005|"
                                                    << bar + "1  unset|SELL||ORD|0|00005|";
        QTest::newRow("ratio beyond 8-bit") << "AAPL" << QStringLiteral("1\u0131")
                                            << "The value of a risk command holds a character that cannot be sent: "
                                               "1\u0131";
    }

    void edgeTextsAreSentExactlyOrRefusedWhole()
    {
        QFETCH(QString, symbol);
        QFETCH(QString, ratio);
        QFETCH(QString, refusal);
        fx->addSymbol(symbol, QStringLiteral("EDGE"));
        openForm();
        form->Edtsymbol->setText(symbol);
        QTest::keyClick(form->Edtsymbol, Qt::Key_Return);
        QVERIFY2(fx->dialogs->entries.isEmpty(), qPrintable(fx->dialogs->lastText()));
        form->UpFrontField->setText(ratio);
        save();
        if (refusal.isEmpty()) {
            QVERIFY2(fx->dialogs->entries.isEmpty(), qPrintable(fx->dialogs->lastText()));
            QCOMPARE(fx->riskman.take(2),
                     (QStringList{QStringLiteral("set|UPFR|%1|ORD|0|%2|").arg(ratio, symbol),
                                  QStringLiteral("unset|SELL||ORD|0|%1|").arg(symbol)}));
        } else {
            QCOMPARE(fx->dialogs->texts(), QStringList{refusal});
            QVERIFY(fx->riskman.take().isEmpty());
        }
    }

    void symbolsThatAreNoCodeAreNotLookedUp_data()
    {
        QTest::addColumn<QString>("symbol");
        QTest::newRow("beyond the width") << "SYMBOL00100";
        QTest::newRow("quote") << "AAPL'";
        QTest::newRow("bar") << "AAPL|";
        QTest::newRow("line end") << "AAPL\nset|SELL||ORD|0|AAPL|";
    }

    void symbolsThatAreNoCodeAreNotLookedUp()
    {
        QFETCH(QString, symbol);
        openForm();
        form->Edtsymbol->setText(symbol);
        QTest::keyClick(form->Edtsymbol, Qt::Key_Return);
        QCOMPARE(fx->dialogs->texts(), QStringList{QString::fromLatin1(SecurityProfile::InvalidSymbol)});
        save();
        QCOMPARE(fx->dialogs->lastText(), QString::fromLatin1(SecurityProfile::LookUpFirst));
        QVERIFY(fx->riskman.take().isEmpty());
    }

    void aSymbolWithoutRulesSendsOnlyTheSellUnset()
    {
        openForm();
        lookUp(QStringLiteral("ABC"));
        QCOMPARE(form->UpFrontField->text(), QString());
        save();
        QCOMPARE(fx->riskman.take(1), QStringList{"unset|SELL||ORD|0|ABC|"});
        retype(form->UpFrontField, QStringLiteral(" 2 "));
        save();
        QCOMPARE(fx->riskman.take(2), (QStringList{"set|UPFR| 2 |ORD|0|ABC|", "unset|SELL||ORD|0|ABC|"}));
    }

    void anyAttributeHoldingSellTicksSellOnly()
    {
        fx->addRule(QStringLiteral("00700"), QStringLiteral("SSELL"), QStringLiteral("100"));
        fx->addRule(QStringLiteral("00700"), QStringLiteral("SELL"), {}, QStringLiteral("10")); // an account's
        openForm();
        lookUp(QStringLiteral("700"));
        QVERIFY(form->RdBtnSell->isChecked());
        lookUp(QStringLiteral("AAPL"));
        QVERIFY(!form->RdBtnSell->isChecked());
    }

    void symbolsAreMatchedExactlyAndUnknownOnesClearTheWindow()
    {
        fx->addRule(QStringLiteral("abc"), QStringLiteral("UPFR"), QStringLiteral("3"));
        openForm();
        lookUp(QStringLiteral("abc"));
        QCOMPARE(form->UpFrontField->text(), QStringLiteral("3"));
        lookUp(QStringLiteral("Abc"));
        QCOMPARE(fx->dialogs->texts(), QStringList{"Invalid symbol code!"});
        QCOMPARE(form->UpFrontField->text(), QString());
        save();
        QCOMPARE(fx->dialogs->lastText(), QString::fromLatin1(SecurityProfile::LookUpFirst));
        QVERIFY(fx->riskman.take().isEmpty());
    }

    void saveGoesOnlyToTheSymbolLookedUp()
    {
        openForm();
        lookUp(QStringLiteral("ABC"));
        retype(form->Edtsymbol, QStringLiteral("AAPL"));
        save();
        QCOMPARE(fx->dialogs->lastText(), QString::fromLatin1(SecurityProfile::LookUpFirst));
        retype(form->Edtsymbol, QStringLiteral("ABC"));
        retype(form->UpFrontField, QStringLiteral("1|2"));
        save();
        QCOMPARE(fx->dialogs->entries.size(), 2);
        QVERIFY(fx->riskman.take().isEmpty());
    }

    void theSearchWindowMovesToATypedSymbolAndLoadsAPick()
    {
        fx->addRule(QStringLiteral("02800"), QStringLiteral("SELL"));
        openForm();
        TSymbolFrm *search = TSymbolFrm::shared();
        QCOMPARE(TSymbolFrm::shared(), search); // one window, reused
        bool checked = false;
        QTimer::singleShot(0, this, [&] {
            QCOMPARE(QApplication::activeModalWidget(), search);
            Dataset *symbols = fx->data->symbol_data;
            QVERIFY(symbols->isActive());
            search->Edit1->setText(QStringLiteral("2800"));
            QTest::keyClick(search->Edit1, Qt::Key_Return);
            QCOMPARE(symbols->fieldByName("symbol")->asString(), QStringLiteral("02800"));
            search->Edit1->setText(QStringLiteral("NONE"));
            QTest::keyClick(search->Edit1, Qt::Key_Return);
            QCOMPARE(symbols->fieldByName("symbol")->asString(), QStringLiteral("02800"));
            search->DBGrid1DblClick();
            checked = true;
        });
        QTest::mouseClick(form->Button1, Qt::LeftButton);
        QVERIFY(checked);
        QVERIFY(!search->isVisible());
        QCOMPARE(form->Edtsymbol->text(), QStringLiteral("02800"));
        QVERIFY(form->RdBtnSell->isChecked());
        // It keeps its place for the next use.
        QCOMPARE(fx->data->symbol_data->fieldByName("symbol")->asString(), QStringLiteral("02800"));
        QVERIFY(fx->dialogs->entries.isEmpty());
    }
};

VOX_TEST_MAIN(TestSecuForm)
#include "tst_secuform.moc"
