#include "shell/LoginForm.h"

#include "core/Dialogs.h"
#include "core/Guard.h"
#include "core/VoxError.h"
#include "db/AdminData.h"
#include "db/RightsList.h"
#include "widgets/TextCase.h"

#include <QApplication>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

Tloginform::Tloginform(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("loginform"));
    setWindowTitle(QStringLiteral("Login"));
    setModal(true);

    Label1 = new QLabel(QStringLiteral("Login ID"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setMaxLength(8);
    Label1->setBuddy(Edit1);
    Edit1->setAccessibleName(QStringLiteral("Login ID"));

    Label2 = new QLabel(QStringLiteral("Password"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Edit2 = new QLineEdit(this);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit2->setEchoMode(QLineEdit::Password);
    Edit2->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
    Label2->setBuddy(Edit2);
    Edit2->setAccessibleName(QStringLiteral("Password"));

    BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setDefault(true);
    BitBtn1->setEnabled(false);
    BitBtn2 = new QPushButton(QStringLiteral("Cancel"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));

    auto *form = new QFormLayout;
    form->addRow(Label1, Edit1);
    form->addRow(Label2, Edit2);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // Typed letters become capitals as they are typed.
    vox::connect(Edit1, &QLineEdit::textEdited, this, [this](const QString &text) {
        const QString upper = upperCase8Bit(text);
        if (upper != text) {
            const int pos = Edit1->cursorPosition();
            Edit1->setText(upper);
            Edit1->setCursorPosition(pos);
        }
    });
    vox::connect(Edit1, &QLineEdit::textChanged, this, &Tloginform::Edit1Change);
    vox::connect(Edit2, &QLineEdit::textChanged, this, &Tloginform::Edit1Change);
    vox::connect(BitBtn1, &QPushButton::clicked, this, &Tloginform::BitBtn1Click);
    vox::connect(BitBtn2, &QPushButton::clicked, this, &Tloginform::BitBtn2Click);
}

void Tloginform::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    vox::guard([this] {
        if (QScreen *screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
        FormShow();
    });
}

void Tloginform::FormShow()
{
    m_accepted = false;
}

void Tloginform::Edit1Change()
{
    BitBtn1->setEnabled(!Edit1->text().isEmpty() && !Edit2->text().isEmpty());
}

void Tloginform::BitBtn1Click()
{
    TAdminData *data = TAdminData::instance();
    if (!data)
        throw VoxError(QStringLiteral("Database connection problem. Please check setting!"));
    Query *q = data->Query_User;
    q->close();
    q->setSql(QStringLiteral("SELECT * FROM User_File WHERE User_No=:MPARAMS"));
    q->setParam(QStringLiteral("MPARAMS"), Edit1->text());
    q->open();

    m_rights = q->isEmpty() ? QStringList() : linesOf(q->fieldByName(QStringLiteral("Authority"))->asString());
    if (q->isEmpty())
        throw VoxError(QStringLiteral("Invalid login user name!"));
    // The column is fixed width: its padding is not part of the password,
    // and the dataset delivers the text without it.
    if (q->fieldByName(QStringLiteral("User_Password"))->asString() != Edit2->text())
        throw VoxError(QStringLiteral("Invalid login user Password!"));
    const bool supervisor = q->fieldByName(QStringLiteral("AdminUser"))->asInteger() == 9;
    if (!hasLine(m_rights, QStringLiteral("Login Management"))
        && !hasLine(m_rights, QStringLiteral("Risk Management")) && !supervisor)
        throw VoxError(QStringLiteral("Login user is not allowed not use this tool!"));
    m_accepted = true;
    if (supervisor)
        m_rights << QStringLiteral("Administrator");
    // Every change from now on is recorded under this operator; an older
    // database without the trail is used as before, and the operator told.
    data->Audit->setOperator(q->fieldByName(QStringLiteral("User_No"))->asString());
    if (!data->Audit->isAvailable())
        Dialogs::instance().information(QString::fromLatin1(AuditTrail::NotAuditedMessage));
    accept();
}

void Tloginform::BitBtn2Click()
{
    QDialog::reject();
    QCoreApplication::quit();
}

void Tloginform::reject()
{
    // Escape is Cancel.
    BitBtn2Click();
}

std::optional<QStringList> Tloginform::run(QWidget *parent)
{
    Tloginform form(parent);
    form.exec();
    if (!form.accepted())
        return std::nullopt;
    return form.rights();
}
