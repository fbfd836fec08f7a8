#include "logins/LoginMan.h"

#include "core/Guard.h"
#include "customers/AccountInfo.h"
#include "customers/AccoutList.h"
#include "db/AdminData.h"
#include "widgets/Named.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TLoginMan::TLoginMan(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("TLoginMan"));
    setWindowTitle(QStringLiteral("Login Management"));
    setAttribute(Qt::WA_DeleteOnClose);
    m_rules = std::make_unique<LoginManagement>(TAdminData::required(), static_cast<LoginManView &>(*this));

    EdtAcct = named(new QLineEdit(this), "EdtAcct");
    Usage = named(new QComboBox(this), "Usage");
    Button1 = named(new QPushButton(QStringLiteral("..."), this), "Button1");
    BitBtn1 = named(new QPushButton(QStringLiteral("&Search"), this), "BitBtn1");
    GroupBox1 = named(new QGroupBox(this), "GroupBox1");
    AcctEdt = named(new QLineEdit(GroupBox1), "AcctEdt");
    Devicetype = named(new QComboBox(GroupBox1), "Devicetype");
    Deviceidedt = named(new QLineEdit(GroupBox1), "Deviceidedt");
    PasswordLabel = named(new QLabel(QStringLiteral("Password"), GroupBox1), "PasswordLabel");
    Passwordedt = named(new QLineEdit(GroupBox1), "Passwordedt");
    Passwordedt->setEchoMode(QLineEdit::Password);
    LengthLabel = named(new QLabel(QStringLiteral("Password Length"), GroupBox1), "LengthLabel");
    Length1 = named(new QLineEdit(GroupBox1), "Length1");
    RandomBox = named(new QCheckBox(QStringLiteral("Random Generate Password"), GroupBox1), "RandomBox");
    SaveBtn = named(new QPushButton(QStringLiteral("&Save"), this), "SaveBtn");
    Button2 = named(new QPushButton(QStringLiteral("&Close"), this), "Button2");
    BitBtn2 = named(new QPushButton(QStringLiteral("Account List Print"), this), "BitBtn2");
    for (QPushButton *b : {Button1, BitBtn1, SaveBtn, Button2, BitBtn2})
        b->setAutoDefault(false);

    auto *searchRow = new QHBoxLayout;
    auto *searchLabel = new QLabel(QStringLiteral("Search"), this);
    searchLabel->setBuddy(EdtAcct);
    auto *usageLabel = new QLabel(QStringLiteral("Usage"), this);
    usageLabel->setBuddy(Usage);
    searchRow->addWidget(searchLabel);
    searchRow->addWidget(EdtAcct, 1);
    searchRow->addWidget(Button1);
    searchRow->addWidget(usageLabel);
    searchRow->addWidget(Usage);
    searchRow->addWidget(BitBtn1);

    auto *details = new QFormLayout(GroupBox1);
    details->addRow(QStringLiteral("Login Number"), AcctEdt);
    details->addRow(QStringLiteral("Device Name"), Devicetype);
    details->addRow(QStringLiteral("DeviceID"), Deviceidedt);
    details->addRow(PasswordLabel, Passwordedt);
    details->addRow(LengthLabel, Length1);
    details->addRow(QString(), RandomBox);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(BitBtn2);
    buttons->addStretch();
    buttons->addWidget(SaveBtn);
    buttons->addWidget(Button2);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(searchRow);
    layout->addWidget(GroupBox1);
    layout->addStretch();
    layout->addLayout(buttons);
    resize(520, 320);

    // Edits and lists say what they hold to assistive tools, as their
    // labels say it on the screen.
    // (A list box is named by its entry; its label is tied to it as buddy.)
    EdtAcct->setAccessibleName(QStringLiteral("Search"));
    Passwordedt->setAccessibleName(QStringLiteral("Password"));
    Length1->setAccessibleName(QStringLiteral("Password Length"));

    GroupBox1->setEnabled(false);
    Devicetype->setEnabled(false);
    RandomBox->hide();
    SaveBtn->setEnabled(false);

    vox::connect(BitBtn1, &QPushButton::clicked, this, &TLoginMan::BitBtn1Click);
    vox::connect(EdtAcct, &QLineEdit::returnPressed, this, &TLoginMan::BitBtn1Click);
    vox::connect(SaveBtn, &QPushButton::clicked, this, &TLoginMan::SaveBtnClick);
    // clicked comes from the operator only; the rules apply their own
    // changes of the box themselves.
    vox::connect(RandomBox, &QCheckBox::clicked, this, &TLoginMan::RandomBoxClick);
    vox::connect(Devicetype, &QComboBox::activated, this, &TLoginMan::DevicetypeClick);
    vox::connect(Button1, &QPushButton::clicked, this, &TLoginMan::Button1Click);
    vox::connect(BitBtn2, &QPushButton::clicked, this, &TLoginMan::BitBtn2Click);
    vox::connect(Button2, &QPushButton::clicked, this, [this] { close(); });
}

TLoginMan::~TLoginMan() = default;

void TLoginMan::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    vox::guard([&] { FormShow(); });
}

void TLoginMan::FormShow()
{
    Usage->clear();
    Devicetype->clear();
    Usage->addItems(LoginManagement::fixedDevices());
    Devicetype->addItems(LoginManagement::fixedDevices());
    Usage->setCurrentIndex(0);
    const QStringList names = LoginManagement::deviceNames().mid(LoginManagement::fixedDevices().size());
    Usage->addItems(names);
    Devicetype->addItems(names);
}

void TLoginMan::BitBtn1Click()
{
    m_rules->search();
}

void TLoginMan::SaveBtnClick()
{
    m_rules->save();
}

void TLoginMan::DevicetypeClick()
{
    m_rules->devicetypeClick();
}

void TLoginMan::RandomBoxClick()
{
    m_rules->randomBoxClick();
}

void TLoginMan::genmcardid()
{
    m_rules->genmcardid();
}

QChar TLoginMan::randalphanum()
{
    return LoginRandom::randalphanum();
}

void TLoginMan::Button1Click()
{
    TAccoutList picker(TAdminData::required(), Usage->currentIndex() >= LoginManagement::MCard, this);
    picker.setPickHandler([this](const QString &key) { EdtAcct->setText(key); });
    picker.exec();
}

void TLoginMan::BitBtn2Click()
{
    auto *report = new TAccountInfo(TAdminData::required());
    report->setAttribute(Qt::WA_DeleteOnClose);
    report->show();
}

QString TLoginMan::searchText() const { return EdtAcct->text(); }
int TLoginMan::usageIndex() const { return Usage->currentIndex(); }
QString TLoginMan::usageText() const { return Usage->currentText(); }

void TLoginMan::setPasswordShown(bool shown)
{
    PasswordLabel->setVisible(shown);
    Passwordedt->setVisible(shown);
}

void TLoginMan::setLengthShown(bool shown)
{
    LengthLabel->setVisible(shown);
    Length1->setVisible(shown);
}

void TLoginMan::setLengthEnabled(bool enabled) { Length1->setEnabled(enabled); }
QString TLoginMan::lengthText() const { return Length1->text(); }
void TLoginMan::setLengthText(const QString &text) { Length1->setText(text); }
void TLoginMan::setDetailsEnabled(bool enabled) { GroupBox1->setEnabled(enabled); }
void TLoginMan::setSaveEnabled(bool enabled) { SaveBtn->setEnabled(enabled); }
QString TLoginMan::loginNumber() const { return AcctEdt->text(); }
void TLoginMan::setLoginNumber(const QString &text) { AcctEdt->setText(text); }
int TLoginMan::deviceTypeIndex() const { return Devicetype->currentIndex(); }
QString TLoginMan::deviceTypeText() const { return Devicetype->currentIndex() < 0 ? QString() : Devicetype->currentText(); }
void TLoginMan::setDeviceTypeIndex(int index) { Devicetype->setCurrentIndex(index); }
int TLoginMan::deviceTypeCount() const { return Devicetype->count(); }
QString TLoginMan::deviceTypeAt(int index) const { return Devicetype->itemText(index); }
QString TLoginMan::deviceId() const { return Deviceidedt->text(); }
void TLoginMan::setDeviceId(const QString &text) { Deviceidedt->setText(text); }
QString TLoginMan::password() const { return Passwordedt->text(); }
void TLoginMan::setPassword(const QString &text) { Passwordedt->setText(text); }
void TLoginMan::setPasswordEnabled(bool enabled) { Passwordedt->setEnabled(enabled); }
void TLoginMan::setRandomShown(bool shown) { RandomBox->setVisible(shown); }
bool TLoginMan::randomChecked() const { return RandomBox->isChecked(); }
void TLoginMan::setRandomChecked(bool checked) { RandomBox->setChecked(checked); }
void TLoginMan::focusSearch() { EdtAcct->setFocus(); }
void TLoginMan::focusDeviceId() { Deviceidedt->setFocus(); }
