#pragma once

#include "shell/ChildWindows.h"
#include "shell/ShellServices.h"

#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <optional>

class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QToolBar;

// The console's main window: an MDI parent with the menu, the tool bar and
// the action list from which every maintenance window is opened.
class TMainForm : public QMainWindow
{
    Q_OBJECT
public:
    explicit TMainForm(ShellServices services = {}, QWidget *parent = nullptr);
    ~TMainForm() override;

    static TMainForm *instance();

    // Creates the two service clients. Run once, by the constructor.
    void FormCreate();
    // Runs the administrator login and the rights gating. Run once, at the
    // first showing of the window.
    void FormShow();
    // Enables actions by the rights named in rights (whole lines, letter
    // case ignored). Never disables anything.
    void checkprofile(const QStringList &rights);

    QMdiArea *mdiArea() const { return m_mdi; }
    // Shows w as a child window and returns its frame.
    QMdiSubWindow *openChild(QWidget *w);
    // Windows working on shared datasets exist once: when a window of kind
    // is open it is brought to the front; otherwise, after the MDI rule
    // when mdiRule is set, a new one is opened. Returns its frame.
    QMdiSubWindow *openOnce(ChildWindow kind, bool mdiRule);
    // The frame of the open window of kind opened by an action, if any.
    QMdiSubWindow *childOfKind(ChildWindow kind) const;

    QAction *UserAction = nullptr;
    QAction *GroupAction = nullptr;
    QAction *ExitAction = nullptr;
    QAction *HelpAbout1 = nullptr;
    QAction *ZodezererAction = nullptr;
    QAction *SecurityAction = nullptr;
    QAction *CustomerAction = nullptr;
    QAction *MarketParamAction = nullptr;
    QAction *NewCustAction = nullptr;
    QAction *EntitlementAction = nullptr;
    QAction *AcctPassAction = nullptr;
    QAction *AuditAction = nullptr;
    QAction *UnconfirmedAction = nullptr;

    // The status-bar panel of a service's link (VOX_RISKMAN, VOX_SVR).
    QLabel *linkPanel(const QString &service) const;
    // Shows the links and command counts as they are now.
    void refreshLinkStatus();

public slots:
    void UserActionExecute();
    void GroupActionExecute();
    void ExitActionExecute();
    void HelpAbout1Execute();
    void ZodezererActionExecute();
    void SecurityActionExecute();
    void CustomerActionExecute();
    void MarketParamActionExecute();
    void NewCustActionExecute();
    void EntitlementActionExecute();
    void AcctPassActionExecute();
    void AuditActionExecute();
    void UnconfirmedActionExecute();

protected:
    void showEvent(QShowEvent *event) override;
    // With risk commands not confirmed, asks whether to wait for them.
    void closeEvent(QCloseEvent *event) override;

private:
    QAction *makeAction(const char *name, const QString &caption, const QString &hint,
                        const QKeySequence &shortcut, bool enabled);
    QAction *proxyFor(QAction *target, const char *name, const QString &caption,
                      const QString &hint, const QKeySequence &shortcut);
    void buildMenu();
    void buildToolBar();
    void buildLinkStatus();
    void applyMdiRule();
    QMdiSubWindow *open(ChildWindow kind);

    QMdiArea *m_mdi = nullptr;
    QMenu *m_fileMenu = nullptr;
    QMenu *m_helpMenu = nullptr;
    QToolBar *m_toolBar = nullptr;
    bool m_shown = false;
    ShellServices m_services;
    QList<QLabel *> m_linkPanels;
    QPointer<QWidget> m_unconfirmedForm;
    // The operator chose to wait for the commands before exiting.
    bool m_exitWhenConfirmed = false;
};

// Splits a hint of the form short|long; a hint without "|" serves as both.
void setActionHint(QAction *action, const QString &hint);
