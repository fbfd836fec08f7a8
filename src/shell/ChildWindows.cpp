#include "shell/ChildWindows.h"

#include "customers/CusForm.h"
#include "customers/CusMain.h"
#include "logins/Entitle.h"
#include "logins/LoginMan.h"
#include "risk/MParamForm.h"
#include "risk/SecuForm.h"
#include "shell/AuditForm.h"
#include "users/GroupForm.h"
#include "users/UserForm.h"

#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

namespace {
// A window whose maintenance screen is not part of this build yet.
QWidget *placeholder(const QString &objectName, const QString &caption)
{
    auto *w = new QWidget;
    w->setObjectName(objectName);
    w->setWindowTitle(caption);
    w->setAttribute(Qt::WA_DeleteOnClose);
    auto *layout = new QVBoxLayout(w);
    layout->addWidget(new QLabel(caption, w));
    return w;
}
} // namespace

QWidget *placeholderChildWindow(ChildWindow kind)
{
    switch (kind) {
    case ChildWindow::User:
        return placeholder(QStringLiteral("TUserForm"), QStringLiteral("User Profile"));
    case ChildWindow::Group:
        return placeholder(QStringLiteral("TGroupForm"), QStringLiteral("Group Setup"));
    case ChildWindow::Security:
        return placeholder(QStringLiteral("TSecuForm"), QStringLiteral("Security Profile"));
    case ChildWindow::Customer:
        return placeholder(QStringLiteral("TCusForm"), QStringLiteral("Customer Profile"));
    case ChildWindow::MarketParam:
        return placeholder(QStringLiteral("TMParamForm"), QStringLiteral("Market Parameter"));
    case ChildWindow::NewCustomer:
        return placeholder(QStringLiteral("TCusMain"), QStringLiteral("Customer Maintenance"));
    case ChildWindow::Entitlement:
        return placeholder(QStringLiteral("TEntitle"), QStringLiteral("Entitlement Maintenance"));
    case ChildWindow::LoginManagement:
        return placeholder(QStringLiteral("TLoginMan"), QStringLiteral("Login Management"));
    case ChildWindow::Audit:
        return placeholder(QStringLiteral("TAuditForm"), QStringLiteral("Audit Trail"));
    }
    return nullptr;
}

QWidget *createChildWindow(ChildWindow kind)
{
    switch (kind) {
    case ChildWindow::User:
        return new TUserForm;
    case ChildWindow::Group:
        return new TGroupForm;
    case ChildWindow::MarketParam:
        return new TMParamForm;
    case ChildWindow::Security:
        return new TSecuForm;
    case ChildWindow::Customer:
        return new TCusForm;
    case ChildWindow::NewCustomer:
        return new TCusMain;
    case ChildWindow::Entitlement:
        return new TEntitle;
    case ChildWindow::LoginManagement:
        return new TLoginMan;
    case ChildWindow::Audit:
        return new TAuditForm;
    default:
        return placeholderChildWindow(kind);
    }
}

