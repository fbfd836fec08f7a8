#include "logins/Entitle.h"

#include "core/Guard.h"
#include "db/AdminData.h"
#include "widgets/Named.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {
QStringList texts(const EntitlementManagement::Entries &entries)
{
    QStringList out;
    for (const auto &e : entries)
        out << e.text;
    return out;
}

int selectedRow(const QListWidget *list)
{
    const QListWidgetItem *item = list->currentItem();
    return item && item->isSelected() ? list->row(item) : -1;
}
} // namespace

EntitlementLists::EntitlementLists(QWidget *parent)
    : QWidget(parent)
{
    Memo1 = named(new QListWidget(this), "Memo1");
    Memo2 = named(new QListWidget(this), "Memo2");
    auto *layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(QStringLiteral("Available Entitlement"), this), 0, 0);
    layout->addWidget(new QLabel(QStringLiteral("Existing Entitlement "), this), 0, 1);
    layout->addWidget(Memo1, 1, 0);
    layout->addWidget(Memo2, 1, 1);
}

void EntitlementLists::show(const EntitlementManagement::Entries &available, const EntitlementManagement::Entries &held)
{
    Memo1->clear();
    Memo1->addItems(texts(available));
    Memo2->clear();
    Memo2->addItems(texts(held));
}

int EntitlementLists::availableRow() const
{
    return selectedRow(Memo1);
}

int EntitlementLists::heldRow() const
{
    return selectedRow(Memo2);
}

TEntitle::TEntitle(QWidget *parent)
    : QWidget(parent)
    , m_rules(TAdminData::required())
{
    setObjectName(QStringLiteral("TEntitle"));
    setWindowTitle(QStringLiteral("Entitlement Management"));
    setAttribute(Qt::WA_DeleteOnClose);

    Edit1 = named(new QLineEdit(this), "Edit1");
    AccountBox = named(new QRadioButton(QStringLiteral("ACCOUNT"), this), "AccountBox");
    AccountBox->setChecked(true);
    UserBox = named(new QRadioButton(QStringLiteral("USER"), this), "UserBox");
    Button6 = named(new QPushButton(QStringLiteral("&Search"), this), "Button6");
    Lists = named(new EntitlementLists(this), "Lists");
    Memo1 = Lists->Memo1;
    Memo2 = Lists->Memo2;
    Button1 = named(new QPushButton(QStringLiteral("Select"), this), "Button1");
    Button2 = named(new QPushButton(QStringLiteral("Remove"), this), "Button2");
    Button3 = named(new QPushButton(QStringLiteral("Remove All"), this), "Button3");
    Button5 = named(new QPushButton(QStringLiteral("S&ave"), this), "Button5");
    Button7 = named(new QPushButton(QStringLiteral("&Close"), this), "Button7");
    for (QPushButton *b : {Button6, Button1, Button2, Button3, Button5, Button7})
        b->setAutoDefault(false);

    auto *searchRow = new QHBoxLayout;
    searchRow->addWidget(new QLabel(QStringLiteral("SEARCH FOR "), this));
    searchRow->addWidget(AccountBox);
    searchRow->addWidget(UserBox);
    searchRow->addWidget(Edit1, 1);
    searchRow->addWidget(Button6);
    auto *moves = new QHBoxLayout;
    moves->addWidget(Button1);
    moves->addWidget(Button2);
    moves->addWidget(Button3);
    moves->addStretch();
    moves->addWidget(Button5);
    moves->addWidget(Button7);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(searchRow);
    layout->addWidget(Lists, 1);
    layout->addLayout(moves);
    resize(560, 380);

    vox::connect(Button6, &QPushButton::clicked, this, &TEntitle::Button6Click);
    vox::connect(Edit1, &QLineEdit::returnPressed, this, &TEntitle::Button6Click);
    vox::connect(Button1, &QPushButton::clicked, this, &TEntitle::Button1Click);
    vox::connect(Button2, &QPushButton::clicked, this, &TEntitle::Button2Click);
    vox::connect(Button3, &QPushButton::clicked, this, &TEntitle::Button3Click);
    vox::connect(Button5, &QPushButton::clicked, this, &TEntitle::Button5Click);
    vox::connect(Button7, &QPushButton::clicked, this, [this] { close(); });
}

TEntitle::~TEntitle() = default;

void TEntitle::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    vox::guard([&] { FormShow(); });
}

void TEntitle::FormShow()
{
    m_rules.loadCatalogue();
}

void TEntitle::refresh()
{
    Lists->show(m_rules.available(), m_rules.held());
}

void TEntitle::Button6Click()
{
    // The lists show what the rules hold, a refused number included.
    const auto show = qScopeGuard([this] { refresh(); });
    m_rules.search(Edit1->text(), UserBox->isChecked());
}

void TEntitle::Button1Click()
{
    m_rules.select(Lists->availableRow());
    refresh();
}

void TEntitle::Button2Click()
{
    m_rules.remove(Lists->heldRow());
    refresh();
}

void TEntitle::Button3Click()
{
    m_rules.removeAll();
    refresh();
}

void TEntitle::Button5Click()
{
    m_rules.save(Edit1->text(), UserBox->isChecked());
}
