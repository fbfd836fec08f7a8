#include "customers/CusForm.h"

#include "core/Guard.h"
#include "customers/AccountSearch.h"
#include "customers/UpperCaseEdit.h"
#include "db/AdminData.h"
#include "widgets/Named.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

TCusForm::TCusForm(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("TCusForm"));
    setWindowTitle(QStringLiteral("Customer Profile"));
    setAttribute(Qt::WA_DeleteOnClose);
    m_profile = std::make_unique<CustomerProfile>(TAdminData::required(), static_cast<CustomerProfileView &>(*this));

    EdtAcct = named(new QLineEdit(this), "EdtAcct");
    forceUpperCase(EdtAcct);
    Button1 = named(new QPushButton(QStringLiteral("..."), this), "Button1");
    Button1->setAutoDefault(false);
    Label5 = named(new QLabel(this), "Label5");
    UpFrontField = named(new QLineEdit(this), "UpFrontField");
    SSell = named(new QLineEdit(this), "SSell");
    RdBtnSuspend = named(new QCheckBox(QStringLiteral("Suspend Trading"), this), "RdBtnSuspend");
    RdBtnSell = named(new QCheckBox(QStringLiteral("Sell Only"), this), "RdBtnSell");
    DayTradeBox = named(new QCheckBox(QStringLiteral("Day Trade"), this), "DayTradeBox");
    DeviceBox = named(new QGroupBox(QStringLiteral("Available Devices (Double click to toggle between enabled and disabled)"),
                                    this),
                      "DeviceBox");
    ListBox1 = named(new QListWidget(DeviceBox), "ListBox1");
    ListBox1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto *deviceLayout = new QVBoxLayout(DeviceBox);
    deviceLayout->addWidget(ListBox1);
    Button3 = named(new QPushButton(QStringLiteral("&Save"), this), "Button3");
    Button4 = named(new QPushButton(QStringLiteral("&Close"), this), "Button4");

    auto *accountRow = new QHBoxLayout;
    accountRow->addWidget(EdtAcct, 1);
    accountRow->addWidget(Button1);
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Account No"), accountRow);
    // The label stands beside a row of two controls: name the edit itself.
    EdtAcct->setAccessibleName(QStringLiteral("Account No"));
    form->addRow(QString(), Label5);
    form->addRow(QStringLiteral("UpFront Ratio"), UpFrontField);
    form->addRow(QStringLiteral("ShortSell Limit"), SSell);
    auto *boxes = new QHBoxLayout;
    boxes->addWidget(RdBtnSuspend);
    boxes->addWidget(RdBtnSell);
    boxes->addWidget(DayTradeBox);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button3);
    buttons->addWidget(Button4);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(boxes);
    layout->addWidget(DeviceBox);
    layout->addStretch();
    layout->addLayout(buttons);
    setFixedSize(460, 380);
    DeviceBox->hide();

    vox::connect(EdtAcct, &QLineEdit::returnPressed, this, &TCusForm::EdtAcctKeyDown);
    vox::connect(Button1, &QPushButton::clicked, this, &TCusForm::Button1Click);
    // clicked comes from the operator only, never from setChecked.
    vox::connect(RdBtnSuspend, &QCheckBox::clicked, this, &TCusForm::RdBtnSuspendClick);
    vox::connect(ListBox1, &QListWidget::itemDoubleClicked, this, &TCusForm::ListBox1DblClick);
    vox::connect(Button3, &QPushButton::clicked, this, &TCusForm::Button3Click);
    vox::connect(Button4, &QPushButton::clicked, this, [this] { close(); });
}

TCusForm::~TCusForm() = default;

void TCusForm::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    vox::guard([&] { FormShow(); });
}

void TCusForm::FormShow()
{
    m_profile->reset();
}

void TCusForm::BitBtn1Click()
{
    m_profile->lookup();
}

void TCusForm::EdtAcctKeyDown()
{
    BitBtn1Click();
    UpFrontField->setFocus();
}

void TCusForm::Button1Click()
{
    TAccountSearch search(TAdminData::required(), this);
    search.setPickHandler([this](const QString &account) {
        EdtAcct->setText(account.toUpper());
        BitBtn1Click();
    });
    search.exec();
}

void TCusForm::RdBtnSuspendClick()
{
    RdBtnSell->setChecked(false);
}

void TCusForm::ListBox1DblClick()
{
    QListWidgetItem *item = ListBox1->currentItem();
    if (!item || !item->isSelected())
        return;
    item->setText(DeviceLine::toggled(item->text()));
}

void TCusForm::Button3Click()
{
    m_profile->save();
}

QString TCusForm::accountText() const
{
    return EdtAcct->text();
}

void TCusForm::setAccountText(const QString &text)
{
    EdtAcct->setText(text);
}

void TCusForm::setAccountName(const QString &name)
{
    Label5->setText(name);
}

QString TCusForm::upFrontText() const
{
    return UpFrontField->text();
}

void TCusForm::setUpFrontText(const QString &text)
{
    UpFrontField->setText(text);
}

QString TCusForm::shortSellText() const
{
    return SSell->text();
}

void TCusForm::setShortSellText(const QString &text)
{
    SSell->setText(text);
}

bool TCusForm::suspend() const
{
    return RdBtnSuspend->isChecked();
}

void TCusForm::setSuspend(bool on)
{
    RdBtnSuspend->setChecked(on);
}

bool TCusForm::sellOnly() const
{
    return RdBtnSell->isChecked();
}

void TCusForm::setSellOnly(bool on)
{
    RdBtnSell->setChecked(on);
}

bool TCusForm::dayTrade() const
{
    return DayTradeBox->isChecked();
}

void TCusForm::setDayTrade(bool on)
{
    DayTradeBox->setChecked(on);
}

QStringList TCusForm::deviceLines() const
{
    QStringList lines;
    for (int i = 0; i < ListBox1->count(); ++i)
        lines << ListBox1->item(i)->text();
    return lines;
}

void TCusForm::setDeviceLines(const QStringList &lines)
{
    ListBox1->clear();
    ListBox1->addItems(lines);
}

void TCusForm::setDeviceListVisible(bool visible)
{
    DeviceBox->setVisible(visible);
}
