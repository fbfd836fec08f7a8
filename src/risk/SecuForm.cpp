#include "risk/SecuForm.h"

#include "core/Guard.h"
#include "db/AdminData.h"
#include "risk/SymbolFrm.h"
#include "widgets/Named.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TSecuForm::TSecuForm(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("TSecuForm"));
    setWindowTitle(QStringLiteral("Security Profile"));
    setAttribute(Qt::WA_DeleteOnClose);
    m_profile = std::make_unique<SecurityProfile>(TAdminData::required(), static_cast<SecurityProfileView &>(*this));

    Edtsymbol = named(new QLineEdit(this), "Edtsymbol");
    Button1 = named(new QPushButton(QStringLiteral("..."), this), "Button1");
    Button1->setAutoDefault(false);
    UpFrontField = named(new QLineEdit(this), "UpFrontField");
    RdBtnSell = named(new QCheckBox(QStringLiteral("Sell Only"), this), "RdBtnSell");
    Button4 = named(new QPushButton(QStringLiteral("&Save"), this), "Button4");
    Button5 = named(new QPushButton(QStringLiteral("&Close"), this), "Button5");

    auto *symbolRow = new QHBoxLayout;
    symbolRow->addWidget(Edtsymbol, 1);
    symbolRow->addWidget(Button1);
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Symbol"), symbolRow);
    // The label stands beside a row of two controls: name the edit itself.
    Edtsymbol->setAccessibleName(QStringLiteral("Symbol"));
    form->addRow(QStringLiteral("UpFront Ratio"), UpFrontField);
    form->addRow(QString(), RdBtnSell);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button4);
    buttons->addWidget(Button5);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addStretch();
    layout->addLayout(buttons);
    setFixedSize(360, 180);

    vox::connect(Edtsymbol, &QLineEdit::returnPressed, this, &TSecuForm::BitBtn1Click);
    vox::connect(Button1, &QPushButton::clicked, this, &TSecuForm::Button1Click);
    vox::connect(Button4, &QPushButton::clicked, this, &TSecuForm::Button4Click);
    vox::connect(Button5, &QPushButton::clicked, this, [this] { close(); });
}

TSecuForm::~TSecuForm() = default;

void TSecuForm::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    vox::guard([&] { Edtsymbol->setFocus(); });
}

void TSecuForm::closeEvent(QCloseEvent *event)
{
    vox::guard([&] {
        if (TAdminData *data = TAdminData::instance())
            data->Security_Profile->close();
    });
    QWidget::closeEvent(event);
}

void TSecuForm::BitBtn1Click()
{
    m_profile->lookup();
}

void TSecuForm::Button1Click()
{
    TSymbolFrm::shared()->pick([this](const QString &symbol) {
        Edtsymbol->setText(symbol);
        BitBtn1Click();
    });
}

void TSecuForm::Button4Click()
{
    m_profile->save();
}

QString TSecuForm::symbolText() const
{
    return Edtsymbol->text();
}

QString TSecuForm::upFrontText() const
{
    return UpFrontField->text();
}

void TSecuForm::setUpFrontText(const QString &text)
{
    UpFrontField->setText(text);
}

bool TSecuForm::sellOnly() const
{
    return RdBtnSell->isChecked();
}

void TSecuForm::setSellOnly(bool on)
{
    RdBtnSell->setChecked(on);
}
