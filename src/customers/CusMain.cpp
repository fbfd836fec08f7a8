#include "customers/CusMain.h"

#include "core/Guard.h"
#include "customers/CustomerMaintenance.h"
#include "customers/FrmReport.h"
#include "db/AdminData.h"
#include "widgets/DBEdit.h"
#include "widgets/DBGrid.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TCusMain::TCusMain(QWidget *parent)
    : QWidget(parent)
    , m_data(TAdminData::required())
{
    setObjectName(QStringLiteral("TCusMain"));
    setWindowTitle(QStringLiteral("Customer Maintainence"));
    setAttribute(Qt::WA_DeleteOnClose);
    CustomerMaintenance::install(m_data);
    Query *customers = m_data.Customer_info;

    wwDBGrid1 = new DBGrid(this);
    wwDBGrid1->setObjectName(QStringLiteral("wwDBGrid1"));
    wwDBGrid1->setDataset(customers);
    wwDBGrid1->addColumn(QStringLiteral("User_No"), QStringLiteral("User No"));
    wwDBGrid1->addColumn(QStringLiteral("Account"), QStringLiteral("Customer No"));
    wwDBGrid1->addColumn(QStringLiteral("Chn_Name"), QStringLiteral("Chinese Name"));
    wwDBGrid1->addColumn(QStringLiteral("Account_Name"), QStringLiteral("Account Name"));

    auto *information = new QGroupBox(QStringLiteral("Customer Information"), this);
    GroupBox2 = new QGroupBox(information);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    GroupBox2->setFlat(true);
    auto *fields = new QGridLayout(GroupBox2);
    struct Entry {
        const char *objectName;
        const char *caption;
        const char *field;
    };
    static const Entry entries[] = {
        {"AccountField", "Customer No", "Account"},     {"UserNoField", "User No", "User_No"},
        {"FirstNameField", "First Name", "First_Name"}, {"FamilyNameField", "Family Name", "Family_Name"},
        {"AccountNameField", "Account Name", "Account_Name"}, {"ChnNameField", "Chinese Name", "Chn_Name"},
        {"DayTelField", "Day Tel", "Day_Tel_1"},        {"MobileField", "Mobile", "Mobile"},
        {"HomeTelField", "Home Tel", "Home_Tel"},       {"FaxField", "Fax", "Fax"},
        {"EMailField", "EMail", "E_Mail"},              {"LimitField", "Limit", "Limit"},
    };
    int i = 0;
    for (const Entry &e : entries) {
        auto *edit = new DBEdit(customers, QString::fromLatin1(e.field), GroupBox2);
        edit->setObjectName(QString::fromLatin1(e.objectName));
        edit->setAccessibleName(QString::fromLatin1(e.caption));
        auto *label = new QLabel(QString::fromLatin1(e.caption), GroupBox2);
        label->setBuddy(edit);
        fields->addWidget(label, i / 2, (i % 2) * 2);
        fields->addWidget(edit, i / 2, (i % 2) * 2 + 1);
        if (qstrcmp(e.field, "Account") == 0)
            AccountField = edit;
        else if (qstrcmp(e.field, "User_No") == 0)
            UserNoField = edit;
        else if (qstrcmp(e.field, "Limit") == 0)
            LimitField = edit;
        ++i;
    }
    LimitField->setEnabled(false);
    auto *informationLayout = new QVBoxLayout(information);
    informationLayout->addWidget(GroupBox2);

    AddAcct = new QPushButton(QStringLiteral("&New"), this);
    AddAcct->setObjectName(QStringLiteral("AddAcct"));
    Cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    Cancel->setObjectName(QStringLiteral("Cancel"));
    Apply = new QPushButton(QStringLiteral("&Apply"), this);
    Apply->setObjectName(QStringLiteral("Apply"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(AddAcct);
    buttons->addWidget(Cancel);
    buttons->addWidget(Apply);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(wwDBGrid1, 1);
    layout->addWidget(information);
    layout->addLayout(buttons);

    vox::connect(AddAcct, &QPushButton::clicked, this, &TCusMain::AddAcctClick);
    vox::connect(Cancel, &QPushButton::clicked, this, &TCusMain::CancelClick);
    vox::connect(Apply, &QPushButton::clicked, this, &TCusMain::ApplyClick);

    setAdding(false);
    vox::guard([&] { FormCreate(); });
}

TCusMain::~TCusMain() = default;

void TCusMain::setAdding(bool adding)
{
    m_adding = adding;
    GroupBox2->setEnabled(adding);
    AddAcct->setEnabled(!adding);
    Cancel->setEnabled(adding);
    Apply->setEnabled(adding);
}

void TCusMain::FormCreate()
{
    if (!m_data.User_bak->isActive())
        m_data.User_bak->open();
    if (!m_data.Customer_info->isActive())
        m_data.Customer_info->open();
}

void TCusMain::AddAcctClick()
{
    Query *customers = m_data.Customer_info;
    if (!customers->isActive())
        customers->open();
    customers->insert();
    setAdding(true);
    AccountField->setFocus();
}

void TCusMain::CancelClick()
{
    Query *customers = m_data.Customer_info;
    if (customers->state() == Dataset::Insert || customers->state() == Dataset::Edit)
        customers->cancel();
    setAdding(false);
}

void TCusMain::ApplyClick()
{
    const CustomerSheet sheet = CustomerMaintenance::apply(m_data);
    // The account and its copy are stored: the window browses again before
    // the sheet is printed, so a printer fault is reported over complete
    // data.
    setAdding(false);
    TFrmReport(sheet).print();
}

void TCusMain::closeEvent(QCloseEvent *event)
{
    vox::guard([&] {
        Query *customers = m_data.Customer_info;
        if (customers->state() == Dataset::Insert || customers->state() == Dataset::Edit)
            customers->cancel();
    });
    QWidget::closeEvent(event);
}
