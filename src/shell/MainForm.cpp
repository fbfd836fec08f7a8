#include "shell/MainForm.h"

#include "core/Dialogs.h"
#include "core/ErrorReport.h"
#include "core/Guard.h"
#include "db/AdminData.h"
#include "net/LinkStatus.h"
#include "net/RiskOutbox.h"
#include "net/Services.h"
#include "net/VoxService.h"
#include "shell/Launcher.h"
#include "shell/ShellResources.h"
#include "shell/StartupHooks.h"
#include "shell/UnconfirmedForm.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QShortcut>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>

namespace {
TMainForm *g_mainForm = nullptr;

// The child window kind a frame holds, for the one-window-per-kind rule.
const char *const kChildKind = "voxChildKind";
} // namespace

void setActionHint(QAction *action, const QString &hint)
{
    const int bar = hint.indexOf(QLatin1Char('|'));
    const QString shortPart = bar < 0 ? hint : hint.left(bar);
    const QString longPart = bar < 0 ? hint : hint.mid(bar + 1);
    action->setToolTip(shortPart);
    action->setStatusTip(longPart);
}

TMainForm::TMainForm(ShellServices services, QWidget *parent)
    : QMainWindow(parent), m_services(std::move(services))
{
    if (!m_services.createWindow)
        m_services.createWindow = &createChildWindow;
    if (!m_services.startProgram)
        m_services.startProgram = &Launcher::start;
    g_mainForm = this;
    setObjectName(QStringLiteral("TMainForm"));
    setWindowTitle(QStringLiteral("VOX Administration"));
    setWindowIcon(consoleIcon());

    m_mdi = new QMdiArea(this);
    m_mdi->setObjectName(QStringLiteral("MDIClient"));
    m_mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_mdi);

    statusBar()->setObjectName(QStringLiteral("StatusBar"));
    statusBar()->setSizeGripEnabled(true);

    QStyle *st = style();
    UserAction = makeAction("UserAction", QStringLiteral("User Maintenance"),
                            QStringLiteral("User Maintenance"), QKeySequence(QStringLiteral("Ctrl+N")), false);
    UserAction->setIcon(st->standardIcon(QStyle::SP_FileDialogDetailedView));
    GroupAction = makeAction("GroupAction", QStringLiteral("Group Maintenance"),
                             QStringLiteral("Group Maintenance"), QKeySequence(QStringLiteral("Ctrl+O")), false);
    GroupAction->setIcon(st->standardIcon(QStyle::SP_DirIcon));
    ExitAction = makeAction("ExitAction", QStringLiteral("E&xit"),
                            QStringLiteral("Exit|Exit application"), {}, true);
    ExitAction->setIcon(st->standardIcon(QStyle::SP_DialogCloseButton));
    HelpAbout1 = makeAction("HelpAbout1", QStringLiteral("&About..."),
                            QStringLiteral("About|Displays program information and version number"), {}, true);
    ZodezererAction = makeAction("ZodezererAction", QStringLiteral("ZodezererAction"),
                                 QStringLiteral("System Parameters Setup"),
                                 QKeySequence(QStringLiteral("Ctrl+D")), true);
    ZodezererAction->setIcon(st->standardIcon(QStyle::SP_ComputerIcon));
    ZodezererAction->setVisible(false);
    SecurityAction = makeAction("SecurityAction", QStringLiteral("Security Profile"),
                                QStringLiteral("Security Profile"), {}, false);
    SecurityAction->setIcon(st->standardIcon(QStyle::SP_FileDialogInfoView));
    CustomerAction = makeAction("CustomerAction", QStringLiteral("Customer Profile"),
                                QStringLiteral("Customer Profile"), {}, false);
    CustomerAction->setIcon(st->standardIcon(QStyle::SP_FileDialogContentsView));
    MarketParamAction = makeAction("MarketParamAction", QStringLiteral("Market Parameter"),
                                   QStringLiteral("Market Parameter"), {}, false);
    MarketParamAction->setIcon(st->standardIcon(QStyle::SP_FileDialogListView));
    NewCustAction = makeAction("NewCustAction", QStringLiteral("NewCustomerAction"),
                               QStringLiteral("Customer Maintainence"), {}, false);
    NewCustAction->setIcon(st->standardIcon(QStyle::SP_FileIcon));
    EntitlementAction = makeAction("EntitlementAction", QStringLiteral("Entitlement Maintainence"),
                                   QStringLiteral("Entitlement Maintainence"), {}, false);
    EntitlementAction->setIcon(st->standardIcon(QStyle::SP_DialogApplyButton));
    AcctPassAction = makeAction("AcctPassAction", QStringLiteral("Action Login Management"),
                                QStringLiteral("Login Management"), {}, false);
    AcctPassAction->setIcon(st->standardIcon(QStyle::SP_DriveNetIcon));
    AuditAction = makeAction("AuditAction", QStringLiteral("Audit Trail"), QStringLiteral("Audit Trail"), {}, false);
    AuditAction->setIcon(st->standardIcon(QStyle::SP_FileDialogBack));
    UnconfirmedAction = makeAction("UnconfirmedAction", QStringLiteral("Unconfirmed Commands"),
                                   QStringLiteral("Unconfirmed Commands|Risk commands the risk manager has not "
                                                  "confirmed: resend or dismiss them"),
                                   {}, false);
    UnconfirmedAction->setIcon(st->standardIcon(QStyle::SP_MessageBoxWarning));

    vox::connect(UserAction, &QAction::triggered, this, &TMainForm::UserActionExecute);
    vox::connect(GroupAction, &QAction::triggered, this, &TMainForm::GroupActionExecute);
    vox::connect(ExitAction, &QAction::triggered, this, &TMainForm::ExitActionExecute);
    vox::connect(HelpAbout1, &QAction::triggered, this, &TMainForm::HelpAbout1Execute);
    vox::connect(ZodezererAction, &QAction::triggered, this, &TMainForm::ZodezererActionExecute);
    vox::connect(SecurityAction, &QAction::triggered, this, &TMainForm::SecurityActionExecute);
    vox::connect(CustomerAction, &QAction::triggered, this, &TMainForm::CustomerActionExecute);
    vox::connect(MarketParamAction, &QAction::triggered, this, &TMainForm::MarketParamActionExecute);
    vox::connect(NewCustAction, &QAction::triggered, this, &TMainForm::NewCustActionExecute);
    vox::connect(EntitlementAction, &QAction::triggered, this, &TMainForm::EntitlementActionExecute);
    vox::connect(AcctPassAction, &QAction::triggered, this, &TMainForm::AcctPassActionExecute);
    vox::connect(AuditAction, &QAction::triggered, this, &TMainForm::AuditActionExecute);
    vox::connect(UnconfirmedAction, &QAction::triggered, this, &TMainForm::UnconfirmedActionExecute);

    // An invisible action's own shortcut is inactive, and Qt reports a
    // hidden action as disabled, so trigger() would do nothing: the hidden
    // parameter-setup action gets its key through a window shortcut that
    // runs its handler directly.
    auto *zodezererKey = new QShortcut(ZodezererAction->shortcut(), this);
    zodezererKey->setObjectName(QStringLiteral("ZodezererShortcut"));
    vox::connect(zodezererKey, &QShortcut::activated, this, &TMainForm::ZodezererActionExecute);

    buildMenu();
    buildToolBar();

    runReported([this] { FormCreate(); });
    buildLinkStatus();
}

TMainForm::~TMainForm()
{
    if (g_mainForm == this)
        g_mainForm = nullptr;
}

TMainForm *TMainForm::instance()
{
    return g_mainForm;
}

QAction *TMainForm::makeAction(const char *name, const QString &caption, const QString &hint,
                               const QKeySequence &shortcut, bool enabled)
{
    auto *a = new QAction(caption, this);
    a->setObjectName(QString::fromLatin1(name));
    setActionHint(a, hint);
    if (!shortcut.isEmpty()) {
        a->setShortcut(shortcut);
        a->setShortcutContext(Qt::ApplicationShortcut);
    }
    a->setEnabled(enabled);
    addAction(a);
    return a;
}

QAction *TMainForm::proxyFor(QAction *target, const char *name, const QString &caption,
                             const QString &hint, const QKeySequence &shortcut)
{
    auto *p = new QAction(caption, this);
    p->setObjectName(QString::fromLatin1(name));
    p->setIcon(target->icon());
    setActionHint(p, hint);
    if (!shortcut.isEmpty()) {
        p->setShortcut(shortcut);
        p->setShortcutContext(Qt::ApplicationShortcut);
    }
    auto follow = [p, target] {
        p->setEnabled(target->isEnabled());
        p->setVisible(target->isVisible());
    };
    follow();
    vox::connect(target, &QAction::changed, p, follow);
    vox::connect(p, &QAction::triggered, target, [target] {
        if (target->isEnabled())
            target->trigger();
    });
    return p;
}

void TMainForm::buildMenu()
{
    auto *bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    m_fileMenu = bar->addMenu(QStringLiteral("&File"));
    m_fileMenu->setObjectName(QStringLiteral("File1"));
    m_fileMenu->menuAction()->setStatusTip(QStringLiteral("File related commands"));
    m_fileMenu->setToolTipsVisible(true);
    m_fileMenu->addAction(UserAction);
    m_fileMenu->addAction(proxyFor(NewCustAction, "CustomerMaintenance1",
                                   QStringLiteral("Customer Maintenance"),
                                   QStringLiteral("Customer Maintainence"),
                                   QKeySequence(QStringLiteral("Ctrl+C"))));
    m_fileMenu->addAction(GroupAction);
    m_fileMenu->addSeparator();
    m_fileMenu->addAction(CustomerAction);
    m_fileMenu->addAction(SecurityAction);
    m_fileMenu->addAction(MarketParamAction);
    m_fileMenu->addAction(UnconfirmedAction);
    m_fileMenu->addSeparator();
    m_fileMenu->addAction(proxyFor(EntitlementAction, "EntitlementMaintainence1",
                                   EntitlementAction->text(), EntitlementAction->toolTip(),
                                   QKeySequence(QStringLiteral("Ctrl+E"))));
    m_fileMenu->addAction(AcctPassAction);
    m_fileMenu->addAction(AuditAction);
    m_fileMenu->addSeparator();
    m_fileMenu->addAction(ExitAction);

    m_helpMenu = bar->addMenu(QStringLiteral("&Help"));
    m_helpMenu->setObjectName(QStringLiteral("Help1"));
    m_helpMenu->menuAction()->setStatusTip(QStringLiteral("Help topics"));
    m_helpMenu->addAction(HelpAbout1);
}

void TMainForm::buildToolBar()
{
    m_toolBar = addToolBar(QStringLiteral("ToolBar2"));
    m_toolBar->setObjectName(QStringLiteral("ToolBar2"));
    m_toolBar->setMovable(false);
    m_toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_toolBar->addAction(UserAction);
    m_toolBar->addAction(proxyFor(NewCustAction, "NewCustButton", QStringLiteral("Customer Maintenance"),
                                  QStringLiteral("Add Customer"), {}));
    m_toolBar->addAction(GroupAction);
    m_toolBar->addSeparator();
    m_toolBar->addAction(proxyFor(ZodezererAction, "ZodezererButton", QStringLiteral("System Parameter"),
                                  QStringLiteral("System Parameter Setup"), {}));
    m_toolBar->addAction(CustomerAction);
    m_toolBar->addAction(SecurityAction);
    m_toolBar->addAction(MarketParamAction);
    m_toolBar->addSeparator();
    m_toolBar->addAction(proxyFor(EntitlementAction, "EntitlementButton", QStringLiteral("Entitlement"),
                                  QStringLiteral("Customer Entitlement"), {}));
    m_toolBar->addAction(AcctPassAction);
    m_toolBar->addSeparator();
    m_toolBar->addAction(proxyFor(ExitAction, "ExitButton", QStringLiteral("Exit"),
                                  QStringLiteral("Exit application"), {}));
}

void TMainForm::FormCreate()
{
    if (m_services.formCreate) {
        m_services.formCreate();
        return;
    }
    createServiceClients(TAdminData::instance());
}

void TMainForm::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    // The login runs once the window is on screen, from the message loop.
    QTimer::singleShot(0, this, vox::guarded([this] { runReported([this] { FormShow(); }); }));
}

void TMainForm::FormShow()
{
    std::optional<QStringList> rights;
    if (m_services.login)
        rights = m_services.login(this);
    if (!rights)
        return;
    checkprofile(*rights);
    openSharedDatasets();
}

void TMainForm::checkprofile(const QStringList &rights)
{
    struct Gate {
        const char *right;
        QList<QAction *> actions;
    };
    const Gate gates[] = {
        {"Login Management", {EntitlementAction, AcctPassAction}},
        {"Risk Management", {SecurityAction, CustomerAction, MarketParamAction, UnconfirmedAction}},
        {"Administrator", {UserAction, GroupAction, NewCustAction, AuditAction, UnconfirmedAction}},
    };
    for (const Gate &gate : gates) {
        const QString name = QString::fromLatin1(gate.right);
        bool held = false;
        for (const QString &line : rights) {
            if (line.compare(name, Qt::CaseInsensitive) == 0) {
                held = true;
                break;
            }
        }
        if (held) {
            for (QAction *a : gate.actions)
                a->setEnabled(true);
        }
    }
}

QMdiSubWindow *TMainForm::openChild(QWidget *w)
{
    if (!w->testAttribute(Qt::WA_DeleteOnClose))
        w->setAttribute(Qt::WA_DeleteOnClose);
    QMdiSubWindow *sub = m_mdi->addSubWindow(w);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->setWindowIcon(windowIcon());
    // A window that closes itself (a Quit button) takes its frame along.
    vox::connect(w, &QObject::destroyed, sub, [sub] { sub->close(); }, Qt::QueuedConnection);
    w->show();
    m_mdi->setActiveSubWindow(sub);
    return sub;
}

void TMainForm::applyMdiRule()
{
    const QList<QMdiSubWindow *> children = m_mdi->subWindowList(QMdiArea::ActivationHistoryOrder);
    if (!children.isEmpty())
        children.last()->close();
}

QMdiSubWindow *TMainForm::open(ChildWindow kind)
{
    QWidget *w = m_services.createWindow(kind);
    if (!w)
        return nullptr;
    QMdiSubWindow *sub = openChild(w);
    sub->setProperty(kChildKind, static_cast<int>(kind));
    return sub;
}

QMdiSubWindow *TMainForm::childOfKind(ChildWindow kind) const
{
    for (QMdiSubWindow *sub : m_mdi->subWindowList()) {
        if (sub->property(kChildKind) == QVariant(static_cast<int>(kind)) && sub->widget())
            return sub;
    }
    return nullptr;
}

QMdiSubWindow *TMainForm::openOnce(ChildWindow kind, bool mdiRule)
{
    if (QMdiSubWindow *sub = childOfKind(kind)) {
        if (sub->isMinimized())
            sub->showNormal();
        m_mdi->setActiveSubWindow(sub);
        sub->raise();
        return sub;
    }
    if (mdiRule)
        applyMdiRule();
    return open(kind);
}

void TMainForm::UserActionExecute()
{
    // The window shows the shared user datasets: a second one would add
    // nothing and work on the first one's record.
    const bool opening = !childOfKind(ChildWindow::User);
    QMdiSubWindow *sub = openOnce(ChildWindow::User, true);
    if (sub && opening)
        sub->showMaximized();
}

void TMainForm::GroupActionExecute()
{
    openOnce(ChildWindow::Group, false);
}

void TMainForm::ExitActionExecute()
{
    close();
}

void TMainForm::HelpAbout1Execute()
{
    if (m_services.about)
        m_services.about();
}

void TMainForm::ZodezererActionExecute()
{
    m_services.startProgram(QStringLiteral("Zodezerer.exe"));
}

void TMainForm::SecurityActionExecute()
{
    openOnce(ChildWindow::Security, false);
}

void TMainForm::CustomerActionExecute()
{
    openOnce(ChildWindow::Customer, false);
}

void TMainForm::MarketParamActionExecute()
{
    open(ChildWindow::MarketParam);
}

void TMainForm::NewCustActionExecute()
{
    const bool opening = !childOfKind(ChildWindow::NewCustomer);
    QMdiSubWindow *sub = openOnce(ChildWindow::NewCustomer, true);
    if (sub && opening)
        sub->showMaximized();
}

void TMainForm::EntitlementActionExecute()
{
    open(ChildWindow::Entitlement);
}

void TMainForm::AcctPassActionExecute()
{
    open(ChildWindow::LoginManagement);
}

void TMainForm::AuditActionExecute()
{
    openOnce(ChildWindow::Audit, false);
}

void TMainForm::UnconfirmedActionExecute()
{
    if (m_unconfirmedForm) {
        if (auto *sub = qobject_cast<QMdiSubWindow *>(m_unconfirmedForm->parentWidget())) {
            if (sub->isMinimized())
                sub->showNormal();
            m_mdi->setActiveSubWindow(sub);
        }
        return;
    }
    m_unconfirmedForm = new TUnconfirmedForm(riskOutbox());
    openChild(m_unconfirmedForm);
}

void TMainForm::buildLinkStatus()
{
    // Beside the hints the status bar already shows: one panel a service.
    for (const char *service : {RiskManagerSection, OrderServerSection}) {
        auto *panel = new QLabel(statusBar());
        panel->setObjectName(QStringLiteral("LinkStatus_") + QLatin1String(service));
        panel->setProperty("service", QString::fromLatin1(service));
        statusBar()->addPermanentWidget(panel);
        m_linkPanels << panel;
    }
    for (voxServiceClient *client : {riskManagerClient(), orderServerClient()}) {
        if (client)
            vox::connect(client, &voxServiceClient::linkChanged, this, &TMainForm::refreshLinkStatus);
    }
    if (RiskOutbox *outbox = riskOutbox())
        vox::connect(outbox, &RiskOutbox::changed, this, &TMainForm::refreshLinkStatus);
    // The counts change with every command: they are shown once a second.
    auto *timer = new QTimer(this);
    timer->setObjectName(QStringLiteral("LinkStatusTimer"));
    timer->setInterval(1000);
    vox::connect(timer, &QTimer::timeout, this, &TMainForm::refreshLinkStatus);
    timer->start();
    refreshLinkStatus();
}

QLabel *TMainForm::linkPanel(const QString &service) const
{
    for (QLabel *panel : m_linkPanels) {
        if (panel->property("service").toString() == service)
            return panel;
    }
    return nullptr;
}

void TMainForm::refreshLinkStatus()
{
    RiskOutbox *outbox = riskOutbox();
    for (QLabel *panel : std::as_const(m_linkPanels)) {
        const QString service = panel->property("service").toString();
        voxServiceClient *client = service == QLatin1String(RiskManagerSection) ? riskManagerClient()
                                                                                : orderServerClient();
        const LinkStatus status = linkStatus(service, client, outbox);
        panel->setText(status.text);
        panel->setToolTip(status.toolTip);
    }
    // Waiting to exit: once nothing waits for its confirmation, the console
    // ends when all were confirmed, and otherwise stays with the list.
    if (m_exitWhenConfirmed && (!outbox || outbox->pendingCount() == 0)) {
        m_exitWhenConfirmed = false;
        if (!outbox || outbox->isEmpty())
            close();
    }
}

void TMainForm::closeEvent(QCloseEvent *event)
{
    RiskOutbox *outbox = riskOutbox();
    if (outbox && !outbox->isEmpty()) {
        const qsizetype count = outbox->pendingCount() + outbox->unconfirmedCount();
        const QString text = (count == 1 ? QStringLiteral("1 risk command has")
                                         : QString::number(count) + QStringLiteral(" risk commands have"))
            + QStringLiteral(" not been confirmed by the risk manager.\nWait for them before exiting?");
        if (Dialogs::instance().question(text)) {
            event->ignore();
            m_exitWhenConfirmed = outbox->pendingCount() > 0;
            UnconfirmedActionExecute();
            return;
        }
    }
    QMainWindow::closeEvent(event);
}
