#include "core/VoxError.h"
#include "net/Services.h"
#include "net/VoxService.h"
#include "shell/ChildWindows.h"
#include "shell/MainForm.h"
#include "support/FakeDialogs.h"
#include "support/ScopedSeam.h"
#include "support/TestFiles.h"
#include "support/TestMain.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

namespace {

const QStringList GatedActions = {
    "UserAction",     "GroupAction",       "SecurityAction",    "CustomerAction",
    "MarketParamAction", "NewCustAction", "EntitlementAction", "AcctPassAction",
    "AuditAction",
};

// "-" for a separator, else caption, shortcut, and "(hidden)" when not visible.
QStringList describe(const QList<QAction *> &actions)
{
    QStringList out;
    for (const QAction *a : actions) {
        if (a->isSeparator()) {
            out << "-";
            continue;
        }
        QString d = a->text();
        if (!a->shortcut().isEmpty())
            d += " [" + a->shortcut().toString(QKeySequence::PortableText) + "]";
        if (!a->isVisible())
            d += " (hidden)";
        out << d;
    }
    return out;
}

QStringList toolTips(const QList<QAction *> &actions)
{
    QStringList out;
    for (const QAction *a : actions)
        out << (a->isSeparator() ? QStringLiteral("-") : a->toolTip());
    return out;
}

} // namespace

class TestMainForm : public QObject
{
    Q_OBJECT

    std::unique_ptr<TemporaryWorkDir> m_work;
    std::unique_ptr<FakeDialogs> m_dialogs;
    // What each test's main window is made with; tests change members
    // before they make the window.
    ShellServices m_services;
    QStringList m_started;
    bool m_launchResult = true;
    int m_logins = 0;

    static QAction *action(TMainForm &form, const QString &name)
    {
        auto *a = form.findChild<QAction *>(name);
        if (!a)
            qWarning("no action %s", qPrintable(name));
        return a;
    }

    static QStringList enabledGated(TMainForm &form)
    {
        QStringList out;
        for (const QString &name : GatedActions) {
            if (action(form, name)->isEnabled())
                out << name;
        }
        return out;
    }

    // Object names of the open child windows, oldest first.
    static QStringList children(TMainForm &form)
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QStringList out;
        for (QMdiSubWindow *sub : form.mdiArea()->subWindowList(QMdiArea::CreationOrder)) {
            if (sub->widget())
                out << sub->widget()->objectName();
        }
        return out;
    }

    static void showActive(TMainForm &form)
    {
        form.show();
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        // Let the first-show step (the login) run.
        QCoreApplication::processEvents();
    }

private slots:
    void init()
    {
        // A local configuration with both service sections, so that the
        // service clients can be made without any download.
        m_work = std::make_unique<TemporaryWorkDir>();
        QVERIFY(m_work->isValid());
        TestFiles::write(m_work->filePath("vox.ini"), "[VOX_RISKMAN]\r\nhost=127.0.0.1\r\nport=1\r\n"
                                                      "[VOX_SVR]\r\nhost=127.0.0.1\r\nport=1\r\n");

        m_dialogs = std::make_unique<FakeDialogs>();
        m_started.clear();
        m_launchResult = true;
        m_logins = 0;
        // The main window alone: no service clients, empty children, and
        // programs recorded instead of started.
        m_services = ShellServices();
        m_services.formCreate = [] {};
        m_services.createWindow = &placeholderChildWindow;
        m_services.startProgram = [this](const QString &program) {
            m_started << program;
            return m_launchResult;
        };
    }

    void cleanup()
    {
        m_services = ShellServices();
        m_dialogs.reset();
        m_work.reset();
    }

    // ---- the window as built ------------------------------------------

    void actionsStartAsListed_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("tip");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("shortcut");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("visible");
        auto row = [](const char *name, const char *caption, const char *tip, const char *status,
                      const char *shortcut, bool enabled, bool visible) {
            QTest::newRow(name) << QString(name) << QString(caption) << QString(tip) << QString(status)
                                << QString(shortcut) << enabled << visible;
        };
        row("UserAction", "User Maintenance", "User Maintenance", "User Maintenance", "Ctrl+N", false, true);
        row("GroupAction", "Group Maintenance", "Group Maintenance", "Group Maintenance", "Ctrl+O", false, true);
        row("ExitAction", "E&xit", "Exit", "Exit application", "", true, true);
        row("HelpAbout1", "&About...", "About", "*", "", true, true);
        row("ZodezererAction", "ZodezererAction", "System Parameters Setup", "System Parameters Setup",
            "Ctrl+D", true, false);
        row("SecurityAction", "Security Profile", "Security Profile", "Security Profile", "", false, true);
        row("CustomerAction", "Customer Profile", "Customer Profile", "Customer Profile", "", false, true);
        row("MarketParamAction", "Market Parameter", "Market Parameter", "Market Parameter", "", false, true);
        row("NewCustAction", "NewCustomerAction", "Customer Maintainence", "Customer Maintainence", "", false,
            true);
        row("EntitlementAction", "Entitlement Maintainence", "Entitlement Maintainence",
            "Entitlement Maintainence", "", false, true);
        row("AcctPassAction", "Action Login Management", "Login Management", "Login Management", "", false,
            true);
        row("AuditAction", "Audit Trail", "Audit Trail", "Audit Trail", "", false, true);
    }

    void actionsStartAsListed()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QString, tip);
        QFETCH(QString, status);
        QFETCH(QString, shortcut);
        QFETCH(bool, enabled);
        QFETCH(bool, visible);
        TMainForm form(m_services);
        QAction *a = action(form, name);
        QVERIFY(a);
        QCOMPARE(a->text(), caption);
        QCOMPARE(a->toolTip(), tip);
        if (status == "*") {
            QVERIFY(a->statusTip().contains("version"));
            QVERIFY(!a->statusTip().contains('|'));
        } else {
            QCOMPARE(a->statusTip(), status);
        }
        QCOMPARE(a->shortcut().toString(QKeySequence::PortableText), shortcut);
        QCOMPARE(a->isVisible(), visible);
        if (!visible) {
            // Qt reports a hidden action as disabled; its own state shows
            // once it is made visible.
            QVERIFY(!a->isEnabled());
            a->setVisible(true);
        }
        QCOMPARE(a->isEnabled(), enabled);
        QVERIFY(m_dialogs->entries.isEmpty());
    }

    void hintsSplitIntoToolTipAndStatusText()
    {
        QAction a;
        setActionHint(&a, "Short|Long text");
        QCOMPARE(a.toolTip(), QStringLiteral("Short"));
        QCOMPARE(a.statusTip(), QStringLiteral("Long text"));
        setActionHint(&a, "Both");
        QCOMPARE(a.toolTip(), QStringLiteral("Both"));
        QCOMPARE(a.statusTip(), QStringLiteral("Both"));
        setActionHint(&a, "A|B|C");
        QCOMPARE(a.toolTip(), QStringLiteral("A"));
        QCOMPARE(a.statusTip(), QStringLiteral("B|C"));

        TMainForm form(m_services);
        QCOMPARE(form.statusBar()->objectName(), QStringLiteral("StatusBar"));
        form.ExitAction->showStatusText(&form);
        QCOMPARE(form.statusBar()->currentMessage(), QStringLiteral("Exit application"));
    }

    void menuHoldsItsItemsInOrder()
    {
        TMainForm form(m_services);
        QMenuBar *bar = form.findChild<QMenuBar *>("MainMenu1");
        QVERIFY(bar);
        QCOMPARE(bar, form.menuBar());
        const QList<QAction *> top = bar->actions();
        QCOMPARE(top.size(), 2);
        QCOMPARE(top.at(0)->text(), QStringLiteral("&File"));
        QCOMPARE(top.at(0)->statusTip(), QStringLiteral("File related commands"));
        QCOMPARE(top.at(1)->text(), QStringLiteral("&Help"));
        QCOMPARE(top.at(1)->statusTip(), QStringLiteral("Help topics"));

        const QList<QAction *> file = top.at(0)->menu()->actions();
        QCOMPARE(describe(file), (QStringList{
                                     "User Maintenance [Ctrl+N]",
                                     "Customer Maintenance [Ctrl+C]",
                                     "Group Maintenance [Ctrl+O]",
                                     "-",
                                     "Customer Profile",
                                     "Security Profile",
                                     "Market Parameter",
                                     "Unconfirmed Commands",
                                     "-",
                                     "Entitlement Maintainence [Ctrl+E]",
                                     "Action Login Management",
                                     "Audit Trail",
                                     "-",
                                     "E&xit",
                                 }));
        // Items not restated take the hint of their action.
        QCOMPARE(file.at(1)->toolTip(), QStringLiteral("Customer Maintainence"));
        QCOMPARE(file.at(9)->toolTip(), QStringLiteral("Entitlement Maintainence"));
        QCOMPARE(file.at(0), form.UserAction);
        QCOMPARE(file.at(7), form.UnconfirmedAction);
        QCOMPARE(file.at(11), form.AuditAction);
        QCOMPARE(file.at(13), form.ExitAction);
        for (QAction *a : file)
            QVERIFY(a != form.ZodezererAction);

        const QList<QAction *> help = top.at(1)->menu()->actions();
        QCOMPARE(help, QList<QAction *>{form.HelpAbout1});
    }

    void toolBarHoldsItsButtonsInOrder()
    {
        TMainForm form(m_services);
        QToolBar *bar = form.findChild<QToolBar *>("ToolBar2");
        QVERIFY(bar);
        const QList<QAction *> items = bar->actions();
        QCOMPARE(toolTips(items), (QStringList{
                                      "User Maintenance",
                                      "Add Customer",
                                      "Group Maintenance",
                                      "-",
                                      "System Parameter Setup",
                                      "Customer Profile",
                                      "Security Profile",
                                      "Market Parameter",
                                      "-",
                                      "Customer Entitlement",
                                      "Login Management",
                                      "-",
                                      "Exit application",
                                  }));
        // A hint without "|" is the status text too.
        QCOMPARE(items.at(1)->statusTip(), QStringLiteral("Add Customer"));
        QCOMPARE(items.at(12)->statusTip(), QStringLiteral("Exit application"));
        // The parameter-setup button hides with its action.
        QVERIFY(!items.at(4)->isVisible());
        QVERIFY(items.at(12)->isEnabled());
        for (int i : {0, 1, 2, 5, 6, 7, 9, 10}) {
            QVERIFY2(items.at(i)->isVisible(), qPrintable(items.at(i)->toolTip()));
            QVERIFY2(!items.at(i)->isEnabled(), qPrintable(items.at(i)->toolTip()));
        }

        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QWidget *hiddenButton = bar->widgetForAction(items.at(4));
        QVERIFY(!hiddenButton || !hiddenButton->isVisible());
        QVERIFY(bar->widgetForAction(items.at(1))->isVisible());
    }

    void menuItemsAndButtonsFollowTheirActions()
    {
        TMainForm form(m_services);
        QToolBar *bar = form.findChild<QToolBar *>("ToolBar2");
        QAction *custMenuItem = form.menuBar()->actions().at(0)->menu()->actions().at(1);
        QAction *custButton = bar->actions().at(1);
        QAction *entitleMenuItem = form.menuBar()->actions().at(0)->menu()->actions().at(9);
        QAction *entitleButton = bar->actions().at(9);

        // A disabled item does not reach its action.
        custMenuItem->trigger();
        custButton->trigger();
        QVERIFY(children(form).isEmpty());

        form.checkprofile({"Administrator"});
        QVERIFY(custMenuItem->isEnabled());
        QVERIFY(custButton->isEnabled());
        QVERIFY(!entitleMenuItem->isEnabled());
        custButton->trigger();
        QCOMPARE(children(form), QStringList{"TCusMain"});

        form.checkprofile({"Login Management"});
        QVERIFY(entitleMenuItem->isEnabled());
        QVERIFY(entitleButton->isEnabled());
        entitleMenuItem->trigger();
        entitleButton->trigger();
        QCOMPARE(children(form), (QStringList{"TCusMain", "TEntitle", "TEntitle"}));

        // Hiding an action hides its items too.
        form.NewCustAction->setVisible(false);
        QVERIFY(!custMenuItem->isVisible());
        QVERIFY(!custButton->isVisible());
    }

    // ---- rights gating --------------------------------------------------

    void checkprofileEnablesByRights_data()
    {
        QTest::addColumn<QStringList>("rights");
        QTest::addColumn<QStringList>("enabled");
        const QStringList risk = {"SecurityAction", "CustomerAction", "MarketParamAction"};
        // The audit trail is for supervisors alone.
        const QStringList admin = {"UserAction", "GroupAction", "NewCustAction", "AuditAction"};
        const QStringList logins = {"EntitlementAction", "AcctPassAction"};
        auto sorted = [](QStringList l) { l.sort(); return l; };
        QTest::newRow("none") << QStringList{} << QStringList{};
        QTest::newRow("risk only") << QStringList{"Risk Management"} << sorted(risk);
        QTest::newRow("capitals") << QStringList{"RISK MANAGEMENT"} << sorted(risk);
        QTest::newRow("trailing blank") << QStringList{"Risk Management "} << QStringList{};
        QTest::newRow("leading blank") << QStringList{" Administrator"} << QStringList{};
        QTest::newRow("part of a line") << QStringList{"Risk Management, Administrator"} << QStringList{};
        QTest::newRow("administrator") << QStringList{"Administrator"} << sorted(admin);
        QTest::newRow("login management") << QStringList{"login management"} << sorted(logins);
        QTest::newRow("all, among others")
            << QStringList{"Account Search", "Administrator", "Login Management", "Risk Management", "Zzz"}
            << sorted(risk + admin + logins);
        QTest::newRow("unknown rights") << QStringList{"Supervisor", "Entitlement Maintainence", ""}
                                        << QStringList{};
    }

    void checkprofileEnablesByRights()
    {
        QFETCH(QStringList, rights);
        QFETCH(QStringList, enabled);
        TMainForm form(m_services);
        form.checkprofile(rights);
        QStringList actual = enabledGated(form);
        actual.sort();
        QCOMPARE(actual, enabled);
        // The ungated actions are untouched.
        QVERIFY(form.ExitAction->isEnabled());
        QVERIFY(form.HelpAbout1->isEnabled());
        QVERIFY(!form.ZodezererAction->isVisible());
    }

    void checkprofileNeverDisables()
    {
        TMainForm form(m_services);
        form.checkprofile({"Administrator"});
        form.checkprofile({});
        form.checkprofile({"Risk Management"});
        QCOMPARE(enabledGated(form).size(), 7);
        QVERIFY(form.UserAction->isEnabled());
        QVERIFY(form.SecurityAction->isEnabled());
        QVERIFY(!form.AcctPassAction->isEnabled());
    }

    // ---- child windows --------------------------------------------------

    void userAndNewCustomerCloseTheChildThatHadFocusLast_data()
    {
        QTest::addColumn<QString>("actionName");
        QTest::addColumn<QString>("opened");
        QTest::newRow("user") << "UserAction" << "TUserForm";
        QTest::newRow("new customer") << "NewCustAction" << "TCusMain";
    }

    void userAndNewCustomerCloseTheChildThatHadFocusLast()
    {
        QFETCH(QString, actionName);
        QFETCH(QString, opened);
        TMainForm form(m_services);
        showActive(form);
        form.checkprofile({"Administrator", "Risk Management"});
        form.SecurityAction->trigger();
        form.CustomerAction->trigger();
        QCOMPARE(children(form), (QStringList{"TSecuForm", "TCusForm"}));
        const QList<QMdiSubWindow *> subs = form.mdiArea()->subWindowList(QMdiArea::CreationOrder);
        QPointer<QMdiSubWindow> security = subs.at(0);
        QPointer<QMdiSubWindow> customer = subs.at(1);

        // The security window gets the focus back, so it goes.
        form.mdiArea()->setActiveSubWindow(security);
        action(form, actionName)->trigger();
        QCOMPARE(children(form), (QStringList{"TCusForm", opened}));
        QVERIFY(security.isNull());
        QVERIFY(!customer.isNull());

        // The window just opened has the focus now; it is the next to go.
        action(form, actionName)->trigger();
        QCOMPARE(children(form), (QStringList{"TCusForm", opened}));
        QVERIFY(!customer.isNull());
    }

    void userActionWithNoChildClosesNothing()
    {
        TMainForm form(m_services);
        form.checkprofile({"Administrator"});
        form.UserAction->trigger();
        QCOMPARE(children(form), QStringList{"TUserForm"});
    }

    void otherActionsCloseNothingAndOpenAnotherWindowEachTime()
    {
        TMainForm form(m_services);
        showActive(form);
        form.checkprofile({"Administrator", "Risk Management", "Login Management"});
        form.SecurityAction->trigger();
        form.CustomerAction->trigger();
        form.GroupAction->trigger();
        QCOMPARE(children(form), (QStringList{"TSecuForm", "TCusForm", "TGroupForm"}));
        form.MarketParamAction->trigger();
        form.EntitlementAction->trigger();
        form.AcctPassAction->trigger();
        QCOMPARE(children(form), (QStringList{"TSecuForm", "TCusForm", "TGroupForm", "TMParamForm", "TEntitle",
                                              "TLoginMan"}));
    }

    void customerAndSecurityWindowsComeToTheFrontInsteadOfASecondOne_data()
    {
        QTest::addColumn<QString>("actionName");
        QTest::addColumn<QString>("kind");
        QTest::newRow("security") << "SecurityAction" << "TSecuForm";
        QTest::newRow("customer profile") << "CustomerAction" << "TCusForm";
        QTest::newRow("customer maintenance") << "NewCustAction" << "TCusMain";
    }

    void customerAndSecurityWindowsComeToTheFrontInsteadOfASecondOne()
    {
        QFETCH(QString, actionName);
        QFETCH(QString, kind);
        TMainForm form(m_services);
        showActive(form);
        form.checkprofile({"Administrator", "Risk Management"});
        action(form, actionName)->trigger();
        QPointer<QMdiSubWindow> first = form.mdiArea()->activeSubWindow();
        form.MarketParamAction->trigger();
        QCOMPARE(children(form), (QStringList{kind, "TMParamForm"}));
        // The MDI rule of customer maintenance does not close the window
        // that had the focus when one of its kind is open.
        action(form, actionName)->trigger();
        QCOMPARE(children(form), (QStringList{kind, "TMParamForm"}));
        QVERIFY(!first.isNull());
        QCOMPARE(form.mdiArea()->activeSubWindow(), first.data());
    }

    void closedChildWindowsAreFreed()
    {
        TMainForm form(m_services);
        form.checkprofile({"Risk Management"});
        form.SecurityAction->trigger();
        QPointer<QWidget> child = form.mdiArea()->subWindowList().value(0)->widget();
        QVERIFY(child);
        form.mdiArea()->closeAllSubWindows();
        QVERIFY(children(form).isEmpty());
        QVERIFY(child.isNull());
    }

    void aWindowThatClosesItselfLeavesNoEmptyFrame()
    {
        TMainForm form(m_services);
        showActive(form);
        form.checkprofile({"Risk Management"});
        form.MarketParamAction->trigger();
        form.SecurityAction->trigger();
        QPointer<QMdiSubWindow> frame = form.mdiArea()->subWindowList(QMdiArea::CreationOrder).value(0);
        QVERIFY(frame);
        frame->widget()->close();
        QTRY_VERIFY(frame.isNull());
        QCOMPARE(children(form), QStringList{"TSecuForm"});
        QCOMPARE(form.mdiArea()->subWindowList().size(), 1);
    }

    void windowsShowTheConsoleIconNotTheToolkits()
    {
        TMainForm form(m_services);
        const QImage own = QIcon(QStringLiteral(":/MAINICON")).pixmap(32, 32).toImage();
        QVERIFY(!own.isNull());
        QCOMPARE(form.windowIcon().pixmap(32, 32).toImage(), own);
        form.checkprofile({"Risk Management"});
        form.SecurityAction->trigger();
        QCOMPARE(form.mdiArea()->subWindowList().value(0)->windowIcon().pixmap(32, 32).toImage(), own);
    }

    void disabledActionsOpenNothing()
    {
        TMainForm form(m_services);
        for (const QString &name : GatedActions)
            action(form, name)->trigger();
        QVERIFY(children(form).isEmpty());
    }

    // ---- keyboard -------------------------------------------------------

    void shortcutsReachEnabledActionsOnly()
    {
        TMainForm form(m_services);
        showActive(form);
        QTest::keyClick(&form, Qt::Key_N, Qt::ControlModifier);
        QTest::keyClick(&form, Qt::Key_C, Qt::ControlModifier);
        QTest::keyClick(&form, Qt::Key_E, Qt::ControlModifier);
        QTest::keyClick(&form, Qt::Key_O, Qt::ControlModifier);
        QVERIFY(children(form).isEmpty());

        form.checkprofile({"Administrator", "Login Management"});
        QTest::keyClick(&form, Qt::Key_O, Qt::ControlModifier);
        QTest::keyClick(&form, Qt::Key_O, Qt::ControlModifier);
        // The group window exists once: the second Ctrl+O brings it back.
        QCOMPARE(children(form), (QStringList{"TGroupForm"}));
        QTest::keyClick(&form, Qt::Key_E, Qt::ControlModifier);
        QCOMPARE(children(form), (QStringList{"TGroupForm", "TEntitle"}));
        // Ctrl+C is customer maintenance, which first closes the window
        // that had the focus last: the entitlement window.
        QTest::keyClick(&form, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(children(form), (QStringList{"TGroupForm", "TCusMain"}));
        QTest::keyClick(&form, Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(children(form), (QStringList{"TGroupForm", "TUserForm"}));
        // A second Ctrl+N closes nothing and brings the user window back.
        form.mdiArea()->setActiveSubWindow(form.mdiArea()->subWindowList(QMdiArea::CreationOrder).first());
        QTest::keyClick(&form, Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(children(form), (QStringList{"TGroupForm", "TUserForm"}));
        QCOMPARE(form.mdiArea()->activeSubWindow()->widget()->objectName(), QStringLiteral("TUserForm"));
        QVERIFY(m_dialogs->entries.isEmpty());
    }

    void ctrlDStartsTheParameterSetupProgramOnce()
    {
        TMainForm form(m_services);
        showActive(form);
        QTest::keyClick(&form, Qt::Key_D, Qt::ControlModifier);
        QCOMPARE(m_started, QStringList{"Zodezerer.exe"});

        // Nothing visible leads to it.
        for (QAction *a : form.menuBar()->actions().at(0)->menu()->actions())
            QVERIFY(a == form.ExitAction || !a->text().contains("Zodezerer"));
        for (QAction *a : form.findChild<QToolBar *>("ToolBar2")->actions()) {
            if (a->toolTip() == "System Parameter Setup")
                QVERIFY(!a->isVisible());
        }

        // Also from inside a child window.
        form.checkprofile({"Risk Management"});
        form.SecurityAction->trigger();
        QWidget *child = form.mdiArea()->subWindowList().value(0)->widget();
        QTest::keyClick(child, Qt::Key_D, Qt::ControlModifier);
        QCOMPARE(m_started.size(), 2);
    }

    void aFailedLaunchReportsNothing()
    {
        m_launchResult = false;
        TMainForm form(m_services);
        showActive(form);
        QTest::keyClick(&form, Qt::Key_D, Qt::ControlModifier);
        QCOMPARE(m_started, QStringList{"Zodezerer.exe"});
        QVERIFY(m_dialogs->entries.isEmpty());

        // The real launcher, with the program nowhere to be found.
        m_services.startProgram = {};
        TMainForm real(m_services);
        real.ZodezererAction->trigger();
        QCOMPARE(m_started.size(), 1);
        QVERIFY(m_dialogs->entries.isEmpty());
    }

    void exitClosesTheWindow()
    {
        TMainForm form(m_services);
        showActive(form);
        form.ExitAction->trigger();
        QVERIFY(!form.isVisible());

        TMainForm other(m_services);
        showActive(other);
        other.findChild<QToolBar *>("ToolBar2")->actions().last()->trigger();
        QVERIFY(!other.isVisible());
    }

    void aboutRunsTheAboutBox()
    {
        int shown = 0;
        m_services.about = [&] { ++shown; };
        TMainForm form(m_services);
        form.HelpAbout1->trigger();
        QCOMPARE(shown, 1);
    }

    // ---- creation and first showing -------------------------------------

    void firstShowingRunsTheLoginOnceAndGates()
    {
        m_services.login = [this](QWidget *) -> std::optional<QStringList> {
            ++m_logins;
            return QStringList{"Risk Management", "Administrator"};
        };
        TMainForm form(m_services);
        QVERIFY(enabledGated(form).isEmpty());
        QCOMPARE(m_logins, 0);
        form.show();
        QTRY_COMPARE(m_logins, 1);
        QCOMPARE(enabledGated(form).size(), 7);
        QVERIFY(!form.AcctPassAction->isEnabled());

        form.hide();
        form.show();
        QTest::qWait(20);
        QCOMPARE(m_logins, 1);
        QVERIFY(m_dialogs->entries.isEmpty());
    }

    void cancelledLoginEnablesNothing()
    {
        m_services.login = [this](QWidget *) -> std::optional<QStringList> {
            ++m_logins;
            return std::nullopt;
        };
        TMainForm form(m_services);
        form.show();
        QTRY_COMPARE(m_logins, 1);
        QVERIFY(enabledGated(form).isEmpty());
    }

    void aLoginErrorIsReportedAndGatingSkipped()
    {
        m_services.login = [this](QWidget *) -> std::optional<QStringList> {
            ++m_logins;
            throw VoxError(QStringLiteral("Database connection problem. Please check setting!"));
        };
        TMainForm form(m_services);
        form.show();
        QTRY_COMPARE(m_logins, 1);
        QTRY_COMPARE(m_dialogs->texts(QStringLiteral("report")),
                     QStringList{"Database connection problem. Please check setting!"});
        QVERIFY(enabledGated(form).isEmpty());
        // The window goes on working.
        QVERIFY(form.isVisible());
        form.ExitAction->trigger();
        QVERIFY(!form.isVisible());
    }

    void aFormCreateErrorIsReportedAndCreationContinues()
    {
        int runs = 0;
        m_services.formCreate = [&] {
            ++runs;
            throw VoxError(QStringLiteral("Cannot find section VOX_RISKMAN in configuration file"));
        };
        m_services.login = [](QWidget *) -> std::optional<QStringList> {
            return QStringList{"Login Management"};
        };
        TMainForm form(m_services);
        QCOMPARE(runs, 1);
        QCOMPARE(m_dialogs->texts(QStringLiteral("report")),
                 QStringList{"Cannot find section VOX_RISKMAN in configuration file"});
        QCOMPARE(TMainForm::instance(), &form);
        QCOMPARE(form.findChild<QToolBar *>("ToolBar2")->actions().size(), 13);
        form.show();
        QTRY_VERIFY(form.AcctPassAction->isEnabled());
        QCOMPARE(runs, 1);
        QCOMPARE(m_dialogs->entries.size(), 1);
    }

    void creationWithAValidConfigurationReportsNothing()
    {
        // The real service clients, put aside again afterwards.
        ScopedSeam riskManager(&setRiskManagerClient, nullptr);
        ScopedSeam orderServer(&setOrderServerClient, nullptr);
        m_services.formCreate = {};
        TMainForm form(m_services);
        QVERIFY2(m_dialogs->entries.isEmpty(), qPrintable(m_dialogs->texts().join('\n')));
    }

    void aMissingServiceSectionIsReportedOnceAndCreationContinues()
    {
        TestFiles::write(m_work->filePath("vox.ini"), "[VOX_SVR]\r\nhost=127.0.0.1\r\nport=1\r\n");
        ScopedSeam riskManager(&setRiskManagerClient, nullptr);
        ScopedSeam orderServer(&setOrderServerClient, nullptr);
        m_services.formCreate = {};
        TMainForm form(m_services);
        QCOMPARE(m_dialogs->texts(),
                 QStringList{"Cannot find section VOX_RISKMAN in configuration file"});
        QCOMPARE(form.menuBar()->actions().size(), 2);
        QVERIFY(form.ExitAction->isEnabled());
    }
};

VOX_TEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
