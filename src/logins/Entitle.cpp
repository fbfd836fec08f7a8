#include "logins/Entitle.h"

#include "core/Guard.h"
#include "db/AdminData.h"
#include "widgets/ListAssignment.h"
#include "widgets/Named.h"

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

TEntitle::TEntitle(QWidget *parent)
    : QWidget(parent)
    , m_rules(TAdminData::required())
{
    setObjectName(QStringLiteral("TEntitle"));
    setWindowTitle(QStringLiteral("Entitlement Management"));
    setAttribute(Qt::WA_DeleteOnClose);

    Edit1 = named(new QLineEdit(this), "Edit1");
    // The number has no caption of its own on the screen.
    Edit1->setAccessibleName(QStringLiteral("Account or user number"));
    AccountBox = named(new QRadioButton(QStringLiteral("ACCOUNT"), this), "AccountBox");
    AccountBox->setChecked(true);
    UserBox = named(new QRadioButton(QStringLiteral("USER"), this), "UserBox");
    Button6 = named(new QPushButton(QStringLiteral("&Search"), this), "Button6");
    // The lists keep catalogue order and moved entries go to the end; one
    // entry moves at a time, and there is no "Select All".
    ListAssignmentOptions options;
    options.sorted = false;
    options.multiSelect = false;
    options.captions[1] = "Remove";
    options.captions[3] = "Remove All";
    const ListAssignment::Names names{"Memo1", "Memo2", {"Button1", "Button2", nullptr, "Button3"}};
    Lists = named(new ListAssignment(QStringLiteral("Available Entitlement"), QStringLiteral("Existing Entitlement "),
                                     names, options, this),
                  "Lists");
    Memo1 = Lists->availableList();
    Memo2 = Lists->chosenList();
    Button1 = Lists->selectButton();
    Button2 = Lists->delSelectButton();
    Button3 = Lists->deleteAllButton();
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
    Lists->availableList()->setEntries(texts(m_rules.available()));
    Lists->chosenList()->setEntries(texts(m_rules.held()));
}

void TEntitle::Button6Click()
{
    // The lists show what the rules hold, a refused number included.
    const auto show = qScopeGuard([this] { refresh(); });
    m_rules.search(Edit1->text(), UserBox->isChecked());
}

void TEntitle::Button1Click()
{
    m_rules.select(selectedRow(Memo1));
    refresh();
}

void TEntitle::Button2Click()
{
    m_rules.remove(selectedRow(Memo2));
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
