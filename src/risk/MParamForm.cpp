#include "risk/MParamForm.h"

#include "core/Guard.h"
#include "core/VoxError.h"
#include "db/AdminData.h"
#include "net/RiskCommand.h"
#include "net/Services.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

namespace {
TMParamForm *g_current = nullptr;

QPushButton *button(QWidget *parent, const char *name, const QString &caption)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}
} // namespace

TMParamForm::TMParamForm(QWidget *parent)
    : QWidget(parent)
{
    g_current = this;
    setObjectName(QStringLiteral("TMParamForm"));
    setWindowTitle(QStringLiteral("Market Parameter"));
    setAttribute(Qt::WA_DeleteOnClose);

    GroupBox1 = new QGroupBox(QStringLiteral("Market Parameter"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    EdtMRatio = new QLineEdit(GroupBox1);
    EdtMRatio->setObjectName(QStringLiteral("EdtMRatio"));
    EdtMRatio->setAccessibleName(QStringLiteral("Market Ratio"));
    auto *label = new QLabel(QStringLiteral("Market Ratio"), GroupBox1);
    label->setBuddy(EdtMRatio);
    auto *form = new QFormLayout(GroupBox1);
    form->addRow(label, EdtMRatio);

    Button1 = button(this, "Button1", QStringLiteral("&Set"));
    Button3 = button(this, "Button3", QStringLiteral("&Unset"));
    Button4 = button(this, "Button4", QStringLiteral("&Refresh"));
    Button2 = button(this, "Button2", QStringLiteral("&Quit"));
    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {Button1, Button3, Button4, Button2})
        buttons->addWidget(b);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(GroupBox1);
    layout->addLayout(buttons);
    layout->addStretch();

    vox::connect(Button1, &QPushButton::clicked, this, &TMParamForm::Button1Click);
    vox::connect(Button3, &QPushButton::clicked, this, &TMParamForm::Button3Click);
    vox::connect(Button4, &QPushButton::clicked, this, &TMParamForm::Button4Click);
    vox::connect(Button2, &QPushButton::clicked, this, &TMParamForm::Button2Click);
}

TMParamForm::~TMParamForm()
{
    if (g_current == this)
        g_current = nullptr;
}

TMParamForm *TMParamForm::current()
{
    return g_current;
}

bool TMParamForm::readsAsNumber(const QString &text)
{
    static const QRegularExpression number(
        QStringLiteral("^\\s*[+-]?(\\d+(\\.\\d*)?|\\.\\d+)([eE][+-]?\\d+)?\\s*$"));
    return number.match(text).hasMatch();
}

void TMParamForm::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    vox::guard([this] {
        if (!m_shown) {
            m_shown = true;
            FormShow();
        }
    });
}

void TMParamForm::closeEvent(QCloseEvent *event)
{
    vox::guard([] {
        if (TAdminData *data = TAdminData::instance())
            data->VOXProfile->close();
    });
    QWidget::closeEvent(event);
}

void TMParamForm::FormShow()
{
    Query *profile = TAdminData::required().VOXProfile;
    profile->close();
    profile->open();
    const QString value = profile->isEmpty() ? QString() : profile->fieldByName(QStringLiteral("value"))->asString();
    if (value.isEmpty()) {
        EdtMRatio->clear();
        return;
    }
    const int eq = value.indexOf(QLatin1Char('='));
    EdtMRatio->setText(eq < 0 ? value : value.mid(eq + 1));
}

void TMParamForm::Button1Click()
{
    const QString text = EdtMRatio->text();
    if (!readsAsNumber(text))
        throw VoxError(QStringLiteral("Invalid Input"));
    // A number wider than the rule's value column is refused in its own words.
    const QString command = riskSetCommand(QLatin1String(voxRisk::MarketRatio), text,
                                           QLatin1String(voxRisk::OrderServer),
                                           QLatin1String(voxRisk::All), QLatin1String(voxRisk::All));
    // A risk manager that was never configured is reported in its own
    // words: the operator must know the change did not go out.
    sendRiskCommand(command);
}

void TMParamForm::Button3Click()
{
    sendRiskCommand(riskUnsetCommand(QLatin1String(voxRisk::MarketRatio), QLatin1String(voxRisk::OrderServer),
                                     QLatin1String(voxRisk::All), QLatin1String(voxRisk::All)));
}
