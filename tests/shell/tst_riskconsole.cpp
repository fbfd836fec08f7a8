#include "config/IniFile.h"
#include "db/AuditTrail.h"
#include "db/DbConnection.h"
#include "net/LinkStatus.h"
#include "net/RiskCommand.h"
#include "net/RiskOutbox.h"
#include "net/Services.h"
#include "net/VoxService.h"
#include "shell/ChildWindows.h"
#include "shell/MainForm.h"
#include "shell/RiskConfirmation.h"
#include "shell/ShellServices.h"
#include "shell/UnconfirmedForm.h"
#include "support/FakeDialogs.h"
#include "support/LineServer.h"
#include "support/TestDb.h"
#include "support/TestMain.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

namespace {
quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

QString command(const QString &account)
{
    return riskSetCommand(QLatin1String(voxRisk::UpFrontRatio), QStringLiteral("0.5"),
                          QLatin1String(voxRisk::OrderServer), QLatin1String(voxRisk::Account), account);
}
} // namespace

// The console's side of confirmed risk commands: the link panels of the
// status bar, the Unconfirmed Commands window and the question at exit.
class TestRiskConsole : public QObject
{
    Q_OBJECT

    std::unique_ptr<FakeDialogs> m_dialogs;
    std::unique_ptr<QObject> m_owner;
    std::unique_ptr<LineServer> m_server;
    RiskOutbox *m_outbox = nullptr;
    ShellServices m_services;
    QDateTime m_now;
    QHash<RiskRowKey, QString> m_rows; // what riskman_file holds

    voxServiceClient *riskClient() const { return riskManagerClient(); }

    // Lets every command in the outbox expire.
    void expireAll()
    {
        m_now = m_now.addMSecs(RiskOutbox::DefaultDeadline);
        m_outbox->checkNow();
    }

private slots:
    void init()
    {
        m_dialogs = std::make_unique<FakeDialogs>();
        m_owner = std::make_unique<QObject>();
        m_server = std::make_unique<LineServer>();
        m_rows.clear();
        m_now = QDateTime::currentDateTimeUtc();
        m_outbox = new RiskOutbox(
            [this](const QList<RiskRowKey> &keys) {
                QHash<RiskRowKey, QString> present;
                for (const RiskRowKey &k : keys)
                    if (m_rows.contains(k))
                        present.insert(k, m_rows.value(k));
                return present;
            },
            m_owner.get());
        m_outbox->setClock([this] { return m_now; });
        m_outbox->setCheckInterval(3600 * 1000);
        setRiskOutbox(m_outbox);
        m_services = ShellServices();
        m_services.createWindow = &placeholderChildWindow;
        m_services.formCreate = [this] {
            setRiskManagerClient(new voxServiceClient(m_owner.get(), QLatin1String(RiskManagerSection),
                                                      QStringLiteral("127.0.0.1"), m_server->port()));
        };
    }

    void cleanup()
    {
        m_owner.reset(); // the clients and the outbox
        m_server.reset();
        m_dialogs.reset();
    }

    void statusBarShowsEachConfiguredLink()
    {
        TMainForm form(m_services);
        QLabel *risk = form.linkPanel(QStringLiteral("VOX_RISKMAN"));
        QLabel *svr = form.linkPanel(QStringLiteral("VOX_SVR"));
        QVERIFY(risk && svr);
        QCOMPARE(risk->objectName(), QStringLiteral("LinkStatus_VOX_RISKMAN"));
        QCOMPARE(svr->text(), QStringLiteral("VOX_SVR: not configured"));
        QCOMPARE(risk->text(), QStringLiteral("VOX_RISKMAN: idle"));
        QCOMPARE(risk->toolTip(), QStringLiteral("Host: 127.0.0.1\nPort: %1\nLast socket error: none")
                                      .arg(m_server->port()));

        sendRiskCommand(command(QStringLiteral("A1")));
        QTRY_COMPARE(risk->text(), QStringLiteral("VOX_RISKMAN: connected, 1 awaiting confirmation"));
        expireAll();
        QCOMPARE(risk->text(), QStringLiteral("VOX_RISKMAN: connected, 1 unconfirmed"));
        // The hints of the actions still reach the status bar.
        form.ExitAction->showStatusText(&form);
        QCOMPARE(form.statusBar()->currentMessage(), QStringLiteral("Exit application"));
    }

    void aLinkThatCannotBeReachedShowsSinceWhenAndWhy()
    {
        voxServiceClient client(nullptr, QStringLiteral("VOX_RISKMAN"), QStringLiteral("127.0.0.1"), closedPort());
        client.setReconnectInterval(3600 * 1000);
        const QDateTime before = QDateTime::currentDateTime();
        client.sendMessage(command(QStringLiteral("A1")));
        QCOMPARE(linkStatus(QStringLiteral("VOX_RISKMAN"), &client, nullptr).text,
                 QStringLiteral("VOX_RISKMAN: connecting, 1 queued"));
        QTRY_COMPARE(client.linkState(), voxServiceClient::LinkState::Down);
        const LinkStatus status = linkStatus(QStringLiteral("VOX_RISKMAN"), &client, nullptr);
        const QDateTime since = client.downSince().toLocalTime();
        QVERIFY(since >= before.addSecs(-1));
        QCOMPARE(status.text, QStringLiteral("VOX_RISKMAN: down since %1, 1 queued").arg(since.toString("hh:mm:ss")));
        QVERIFY2(status.toolTip.contains(QLatin1String("Last socket error: 10061 ")), qPrintable(status.toolTip));
        // A failed retry keeps the time the link went down; another day shows its date.
        client.connect();
        QTRY_COMPARE(client.linkState(), voxServiceClient::LinkState::Down);
        QCOMPARE(client.downSince().toLocalTime(), since);
        QVERIFY(linkStatus(QStringLiteral("VOX_RISKMAN"), &client, nullptr, since.addDays(1))
                    .text.contains(since.toString("yyyy-MM-dd hh:mm:ss")));
    }

    void windowResendsAndDismissesTheSelectedCommands()
    {
        TMainForm form(m_services);
        form.checkprofile({QStringLiteral("Login Management")});
        QVERIFY(!form.UnconfirmedAction->isEnabled());
        form.checkprofile({QStringLiteral("Risk Management")});
        QVERIFY(form.UnconfirmedAction->isEnabled());
        TMainForm supervisor(m_services);
        supervisor.checkprofile({QStringLiteral("Administrator")});
        QVERIFY(supervisor.UnconfirmedAction->isEnabled());

        const QStringList sent{command(QStringLiteral("A1")), command(QStringLiteral("A2")), command(QStringLiteral("A3"))};
        for (const QString &c : sent)
            sendRiskCommand(c);
        QCOMPARE(m_server->take(3), sent); // none takes effect
        expireAll();

        form.UnconfirmedAction->trigger();
        form.UnconfirmedAction->trigger(); // one window only
        QCOMPARE(form.mdiArea()->subWindowList().size(), 1);
        auto *window = form.findChild<TUnconfirmedForm *>(QStringLiteral("TUnconfirmedForm"));
        QVERIFY(window);
        QTableWidget *list = window->CommandList;
        QCOMPARE(list->rowCount(), 3);
        QCOMPARE(list->item(0, 1)->text(), QStringLiteral("VOX_RISKMAN"));
        QCOMPARE(list->item(2, 2)->text(), sent.at(2));
        QCOMPARE(list->item(0, 0)->text(),
                 m_now.addMSecs(-RiskOutbox::DefaultDeadline).toLocalTime().toString("yyyy-MM-dd hh:mm:ss"));
        QVERIFY(!window->ResendButton->isEnabled());

        list->selectRow(0);
        QVERIFY(window->ResendButton->isEnabled());
        QTest::mouseClick(window->ResendButton, Qt::LeftButton);
        QCOMPARE(m_server->take(1), QStringList{sent.at(0)});
        QCOMPARE(list->rowCount(), 2);
        QCOMPARE(list->item(0, 2)->text(), sent.at(1));

        list->selectRow(1);
        QTest::mouseClick(window->DismissButton, Qt::LeftButton);
        QCOMPARE(list->rowCount(), 1);
        QCOMPARE(list->item(0, 2)->text(), sent.at(1));
        QCOMPARE(m_outbox->pendingCount(), 1); // the resent one waits anew
        QVERIFY(m_dialogs->entries.isEmpty());
    }

    void exitWithUnconfirmedCommandsAsksWhetherToWait()
    {
        {
            TMainForm form(m_services);
            form.show();
            form.close(); // nothing waits: no question
            QVERIFY(m_dialogs->entries.isEmpty());
        }
        const QString a1 = command(QStringLiteral("A1"));
        sendRiskCommand(a1);
        sendRiskCommand(command(QStringLiteral("A2")));
        QCOMPARE(m_server->take(2).size(), 2);
        {
            TMainForm form(m_services);
            form.show();
            m_dialogs->answer(false);
            form.close();
            QCOMPARE(m_dialogs->texts(QStringLiteral("question")),
                     QStringList{"2 risk commands have not been confirmed by the risk manager.\n"
                                 "Wait for them before exiting?"});
            QVERIFY(!form.isVisible());
        }
        m_dialogs->clear();
        TMainForm form(m_services);
        form.show();
        m_dialogs->answer(true);
        form.close();
        QVERIFY(form.isVisible());
        QVERIFY(form.findChild<TUnconfirmedForm *>());
        // Both take effect: the console ends once they are confirmed.
        m_rows.insert(parseRiskCommand(a1).key, QStringLiteral("0.5"));
        m_rows.insert(parseRiskCommand(command(QStringLiteral("A2"))).key, QStringLiteral("0.5"));
        m_now = m_now.addMSecs(RiskOutbox::DefaultSettleDelay);
        m_outbox->checkNow();
        form.refreshLinkStatus();
        QVERIFY(!form.isVisible());
        QCOMPARE(m_dialogs->entries.size(), 1);
    }

    void commandsAndTheirOutcomesReachTheAuditTrail()
    {
        QTemporaryDir dir;
        const QString conn = TestDb::freshFor(QStringLiteral("sqlite"), dir.path());
        QVERIFY(!conn.isEmpty());
        const std::unique_ptr<DbConnection> db = TestDb::openConnection(conn);
        AuditTrail trail(db.get());
        trail.setOperator(QStringLiteral("RISK01"));
        db->setAuditTrail(&trail);
        auditRiskCommands(m_outbox, db.get());
        const auto entries = [&] {
            return TestDb::rows(conn, QStringLiteral("SELECT User_No, New_Value, Service, Outcome "
                                                     "FROM dbo.Admin_Audit ORDER BY Audit_ID"));
        };

        TMainForm form(m_services);
        const QString a1 = command(QStringLiteral("A1")), a2 = command(QStringLiteral("A2"));
        sendRiskCommand(a1);
        sendRiskCommand(a2);
        QCOMPARE(m_server->take(2), (QStringList{a1, a2}));
        // Every send is on record, written together once the turn is over.
        QTRY_COMPARE(entries().size(), 2);
        QCOMPARE(entries(), (QList<QStringList>{{"RISK01", a1, "VOX_RISKMAN", "sent"},
                                                {"RISK01", a2, "VOX_RISKMAN", "sent"}}));

        // A1 takes effect, A2 never does.
        m_rows.insert(parseRiskCommand(a1).key, QStringLiteral("0.5"));
        m_now = m_now.addMSecs(RiskOutbox::DefaultSettleDelay);
        m_outbox->checkNow();
        expireAll();
        QTRY_COMPARE(entries().size(), 4);
        QCOMPARE(entries().mid(2), (QList<QStringList>{{"RISK01", a1, "VOX_RISKMAN", "confirmed"},
                                                       {"RISK01", a2, "VOX_RISKMAN", "unconfirmed"}}));
        // Nothing is written twice.
        QTest::qWait(20);
        QCOMPARE(entries().size(), 4);
    }

    void deadlineComesFromTheConfiguration_data()
    {
        QTest::addColumn<QString>("ini");
        QTest::addColumn<int>("deadline");
        QTest::newRow("missing") << QString() << 60000;
        QTest::newRow("set") << QStringLiteral("[VOX_ADMIN]\r\nRiskConfirmSeconds=90\r\n") << 90000;
        QTest::newRow("blanks") << QStringLiteral("[VOX_ADMIN]\r\nRiskConfirmSeconds= 5 \r\n") << 5000;
        QTest::newRow("zero") << QStringLiteral("[VOX_ADMIN]\r\nRiskConfirmSeconds=0\r\n") << 60000;
        QTest::newRow("text") << QStringLiteral("[VOX_ADMIN]\r\nRiskConfirmSeconds=soon\r\n") << 60000;
        QTest::newRow("too long") << QStringLiteral("[VOX_ADMIN]\r\nRiskConfirmSeconds=86401\r\n") << 60000;
    }

    void deadlineComesFromTheConfiguration()
    {
        QFETCH(QString, ini);
        QFETCH(int, deadline);
        QTemporaryDir dir;
        QFile f(dir.filePath(QStringLiteral("vox.ini")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(ini.toLatin1());
        f.close();
        QCOMPARE(riskConfirmDeadline(IniFile(f.fileName())), deadline);
    }
};

VOX_TEST_MAIN(TestRiskConsole)
#include "tst_riskconsole.moc"
