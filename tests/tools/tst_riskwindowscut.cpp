#include "customers/CusForm.h"
#include "net/RiskCommand.h"
#include "net/RiskOutbox.h"
#include "net/Services.h"
#include "net/VoxService.h"
#include "risk/SecuForm.h"
#include "shell/RiskConfirmation.h"
#include "support/DataModuleFixture.h"
#include "support/RiskManProcess.h"
#include "support/TestMain.h"
#include "support/Typing.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <algorithm>

// The customer and security windows save while the stand-in risk manager
// is killed under them: what the dying program never applied is listed as
// unconfirmed, nothing it applied is, and a resend delivers the rest.
class TestRiskWindowsCut : public QObject
{
    Q_OBJECT

    std::unique_ptr<DataModuleFixture> fx;
    RiskManProcess m_riskman{QStringLiteral(VOXRISKMAN_PATH)};
    QPointer<TCusForm> m_customer;
    QPointer<TSecuForm> m_security;
    RiskOutbox *m_outbox = nullptr;
    QDateTime m_now;

    bool startRiskMan() { return m_riskman.start(fx->dir.path()); }
    void killRiskMan() { m_riskman.kill(); }

    // The commands the risk manager logged as applied.
    QSet<QString> applied()
    {
        QSet<QString> out;
        for (const QByteArray &line : m_riskman.output().split('\n')) {
            const qsizetype at = line.indexOf(" applied ");
            if (at >= 0)
                out.insert(QString::fromLatin1(line.mid(at + 9)));
        }
        return out;
    }

    // Whether riskman_file shows the effect of command.
    bool inTable(const QString &command)
    {
        const ParsedRiskCommand c = parseRiskCommand(command);
        const QList<QStringList> rows = TestDb::rows(
            fx->conn,
            QStringLiteral("SELECT value FROM riskman_file WHERE attribute = ? AND targetsystem = ? AND "
                           "receivertype = ? AND receiverid = ?"),
            {c.key.attribute, c.key.target, c.key.receiverType, c.key.receiverId});
        return c.set ? rows.size() == 1 && rows[0].value(0) == c.value : rows.isEmpty();
    }

    void enterCustomer(int n)
    {
        retype(m_customer->EdtAcct, QStringLiteral("1%1").arg(n, 5, 10, QLatin1Char('0')));
        QTest::keyClick(m_customer->EdtAcct, Qt::Key_Return);
        retype(m_customer->UpFrontField, QStringLiteral("0.%1").arg(n + 1));
        retype(m_customer->SSell, QString::number(1000 + n));
        m_customer->RdBtnSuspend->setChecked(n % 2 == 0);
    }

    void enterSecurity(int n)
    {
        retype(m_security->Edtsymbol, QStringLiteral("S%1").arg(n, 3, 10, QLatin1Char('0')));
        QTest::keyClick(m_security->Edtsymbol, Qt::Key_Return);
        retype(m_security->UpFrontField, QStringLiteral("0.%1").arg(n + 1));
        m_security->RdBtnSell->setChecked(n % 2 == 1);
    }

private slots:
    void init()
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        const quint16 port = probe.serverPort();
        probe.close();
        fx = std::make_unique<DataModuleFixture>();
        const bool up = fx->setUp(
            QStringLiteral("sqlite"),
            [this] {
                TestDb::exec(fx->conn, QStringLiteral("INSERT INTO dbo.User_File (User_No, Full_Name, AdminUser) "
                                                      "VALUES ('D1', 'D1', 0)"));
                for (int n = 0; n < 12; ++n) {
                    TestDb::exec(fx->conn, QStringLiteral("INSERT INTO customer_file (Account, Active, User_No, "
                                                          "Account_Name) VALUES (?, 1, 'D1', 'NAME')"),
                                 {QStringLiteral("1%1").arg(n, 5, 10, QLatin1Char('0'))});
                    TestDb::exec(fx->conn, QStringLiteral("INSERT INTO symbol_lot_size (symbol, size, symbol_name) "
                                                          "VALUES (?, '100', 'NAME')"),
                                 {QStringLiteral("S%1").arg(n, 3, 10, QLatin1Char('0'))});
                }
            },
            port);
        QVERIFY(up);
        m_now = QDateTime::currentDateTimeUtc();
        m_outbox = new RiskOutbox(riskRowReadBack(fx->data->Database1), fx->data.get());
        m_outbox->setClock([this] { return m_now; });
        m_outbox->setCheckInterval(3600 * 1000);
        setRiskOutbox(m_outbox);
        riskManagerClient()->setReconnectInterval(50);
        riskManagerClient()->setPingEnabled(false);
        QVERIFY(startRiskMan());
        m_customer = new TCusForm;
        m_customer->show();
        m_security = new TSecuForm;
        m_security->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_security));
    }

    void cleanup()
    {
        delete m_customer;
        delete m_security;
        setRiskOutbox(nullptr);
        m_riskman.reset();
        fx.reset();
    }

    void savesCutByAKillAreListedAndNothingThatArrived()
    {
        QSignalSpy outcomes(m_outbox, &RiskOutbox::outcome);
        QStringList sent;
        auto sentSoFar = [&] {
            for (qsizetype k = 0; k < outcomes.size(); ++k) {
                if (outcomes.at(k).at(0).value<RiskOutbox::Outcome>() == RiskOutbox::Outcome::Sent)
                    sent << outcomes.at(k).at(1).toString();
            }
            outcomes.clear();
        };
        for (int n = 0; n < 12; ++n) {
            QTest::qWait(n % 3 == 0 ? 20 : 0);
            // Killed as a window saves: the console writes the lines before
            // it can have seen the far end go.
            const bool cut = n == 3 || n == 8;
            if (n % 2 == 0)
                enterCustomer(n);
            else
                enterSecurity(n);
            if (cut)
                killRiskMan();
            QTest::mouseClick(n % 2 == 0 ? m_customer->Button3 : m_security->Button4, Qt::LeftButton);
            sentSoFar();
            if (cut)
                QTRY_VERIFY_WITH_TIMEOUT(!riskManagerClient()->isConnected(), 30000);
            if (n == 5 || n == 10) {
                QVERIFY(startRiskMan());
                QTRY_VERIFY_WITH_TIMEOUT(riskManagerClient()->isConnected(), 30000);
            }
        }
        QVERIFY2(fx->dialogs->entries.isEmpty(), qPrintable(fx->dialogs->lastText()));
        QTRY_VERIFY_WITH_TIMEOUT(riskManagerClient()->queuedCount() == 0, 30000);
        QTRY_VERIFY_WITH_TIMEOUT(inTable(sent.last()), 30000);

        m_now = m_now.addMSecs(RiskOutbox::DefaultDeadline);
        m_outbox->checkNow();
        QCOMPARE(m_outbox->pendingCount(), 0);
        QSet<QString> listed;
        for (const RiskOutbox::Entry &e : m_outbox->unconfirmed())
            listed.insert(e.command);
        const QSet<QString> arrived = applied();
        QVERIFY2(!listed.isEmpty(), "no save was cut: the test proves nothing");
        for (const QString &c : std::as_const(sent)) {
            if (listed.contains(c)) {
                QVERIFY2(!arrived.contains(c), qPrintable(QStringLiteral("arrived and listed: ") + c));
                QVERIFY2(!inTable(c), qPrintable(QStringLiteral("in the table and listed: ") + c));
            } else {
                QVERIFY2(inTable(c), qPrintable(QStringLiteral("lost and not listed: ") + c));
            }
        }
        QList<quint64> ids;
        for (const RiskOutbox::Entry &e : m_outbox->unconfirmed())
            ids << e.id;
        m_outbox->resend(ids);
        QTRY_VERIFY_WITH_TIMEOUT(std::all_of(sent.cbegin(), sent.cend(), [this](const QString &c) { return inTable(c); }),
                                 30000);
        m_now = m_now.addMSecs(RiskOutbox::DefaultSettleDelay);
        m_outbox->checkNow();
        QVERIFY(m_outbox->isEmpty());
    }
};

VOX_TEST_MAIN(TestRiskWindowsCut)
#include "tst_riskwindowscut.moc"
