#include "users/GroupForm.h"

#include "core/Dialogs.h"
#include "core/VoxError.h"
#include "db/AdminData.h"
#include "db/RightsList.h"
#include "db/Schema.h"
#include "users/SortedListBox.h"
#include "widgets/DBGrid.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {
TGroupForm *g_current = nullptr;
int g_open = 0; // group windows open; the last one closes the shared datasets

QPushButton *makeButton(QWidget *parent, const char *name, const QString &caption)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

QString currentGroupText(const char *field)
{
    Dataset *groups = TAdminData::required().Group_File;
    if (!groups->isActive() || groups->isEmpty())
        return {};
    return groups->fieldByName(QString::fromLatin1(field))->asString();
}
} // namespace

void Group_FileAfterScroll(Dataset &ds)
{
    TGroupForm *form = TGroupForm::current();
    if (form && form->groupRightsWorkingList())
        *form->groupRightsWorkingList() = linesOf(ds.fieldByName(QStringLiteral("Authority"))->asString());
}

TGroupForm *TGroupForm::current()
{
    return g_current;
}

TGroupForm::TGroupForm(QWidget *parent)
    : QWidget(parent)
{
    g_current = this;
    ++g_open;
    setObjectName(QStringLiteral("TGroupForm"));
    setWindowTitle(QStringLiteral("Group Setup"));
    setAttribute(Qt::WA_DeleteOnClose);

    TAdminData *d = &TAdminData::required();
    d->Group_File->afterScroll = &Group_FileAfterScroll;
    MyUser_File = new TableView(QStringLiteral("MyUser_File"), d->Database1, this);
    MyUser_File->setTableName(QStringLiteral("dbo.User_File"));
    MyUser_File->setFieldDefs(Schema::table(QStringLiteral("User_File"))->columns);

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    TabSheet1 = new QWidget;
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    TabSheet2 = new QWidget;
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    PageControl1->addTab(TabSheet1, QStringLiteral("Group Setting"));
    PageControl1->addTab(TabSheet2, QStringLiteral("Authority"));

    DBGrid1 = new DBGrid(TabSheet1);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setDataset(d->Group_File);
    DBGrid1->addColumn(QStringLiteral("GroupID"), QStringLiteral("GroupID"));
    DBGrid1->addColumn(QStringLiteral("GroupName"), QStringLiteral("GroupName"));
    DBGrid1->addColumn(QStringLiteral("TradeLimit"), QStringLiteral("TradeLimit"));
    DBGrid1->setAccessibleName(QStringLiteral("Groups"));
    auto *gridLayout = new QVBoxLayout(TabSheet1);
    gridLayout->addWidget(DBGrid1);

    m_groupId = new QLabel(TabSheet2);
    m_groupId->setObjectName(QStringLiteral("GroupIDLabel"));
    m_groupName = new QLabel(TabSheet2);
    m_groupName->setObjectName(QStringLiteral("GroupNameLabel"));
    auto *head = new QHBoxLayout;
    head->addWidget(new QLabel(QStringLiteral("GroupID"), TabSheet2));
    head->addWidget(m_groupId);
    head->addSpacing(20);
    head->addWidget(new QLabel(QStringLiteral("GroupName"), TabSheet2));
    head->addWidget(m_groupName);
    head->addStretch();

    RightListBox = new SortedListBox(TabSheet2);
    RightListBox->setObjectName(QStringLiteral("RightListBox"));
    RightListBox->setAccessibleName(QStringLiteral("Available Rights"));
    UserRightListBox = new SortedListBox(TabSheet2);
    UserRightListBox->setObjectName(QStringLiteral("UserRightListBox"));
    UserRightListBox->setAccessibleName(QStringLiteral("User Rights :"));
    BitBtn7 = makeButton(TabSheet2, "BitBtn7", QStringLiteral("Select"));
    BitBtn8 = makeButton(TabSheet2, "BitBtn8", QStringLiteral("Del Select"));
    BitBtn1 = makeButton(TabSheet2, "BitBtn1", QStringLiteral("Select All"));
    BitBtn2 = makeButton(TabSheet2, "BitBtn2", QStringLiteral("Delete All"));
    Button1 = makeButton(TabSheet2, "Button1", QStringLiteral("Apply to All Members of the Group"));

    auto *buttons = new QVBoxLayout;
    buttons->addStretch();
    for (QPushButton *b : {BitBtn7, BitBtn8, BitBtn1, BitBtn2})
        buttons->addWidget(b);
    buttons->addStretch();
    auto *left = new QVBoxLayout;
    auto *availableLabel = new QLabel(QStringLiteral("Available Rights"), TabSheet2);
    availableLabel->setBuddy(RightListBox);
    left->addWidget(availableLabel);
    left->addWidget(RightListBox);
    auto *right = new QVBoxLayout;
    auto *chosenLabel = new QLabel(QStringLiteral("User Rights :"), TabSheet2);
    chosenLabel->setBuddy(UserRightListBox);
    right->addWidget(chosenLabel);
    right->addWidget(UserRightListBox);
    auto *lists = new QHBoxLayout;
    lists->addLayout(left, 1);
    lists->addLayout(buttons);
    lists->addLayout(right, 1);
    auto *authority = new QVBoxLayout(TabSheet2);
    authority->addLayout(head);
    authority->addLayout(lists, 1);
    authority->addWidget(Button1, 0, Qt::AlignRight);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(PageControl1);

    connect(BitBtn7, &QPushButton::clicked, this, &TGroupForm::BitBtn7Click);
    connect(BitBtn8, &QPushButton::clicked, this, &TGroupForm::BitBtn8Click);
    connect(BitBtn1, &QPushButton::clicked, this, &TGroupForm::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TGroupForm::BitBtn2Click);
    connect(Button1, &QPushButton::clicked, this, &TGroupForm::Button1Click);
    // A click on a cell, or a move through the grid with the keyboard.
    connect(d->Group_File, &Dataset::currentChanged, this, [this] {
        if (m_shown)
            DBGrid1CellClick();
    });
}

TGroupForm::~TGroupForm()
{
    --g_open;
    if (g_current == this)
        g_current = nullptr;
}

void TGroupForm::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
}

void TGroupForm::closeEvent(QCloseEvent *event)
{
    // Another group window still open keeps working on the shared datasets.
    TAdminData *d = TAdminData::instance();
    if (d && g_open <= 1) {
        d->User_bak->close();
        d->Group_File->close();
    }
    m_hasList = false;
    QWidget::closeEvent(event);
}

void TGroupForm::FormShow()
{
    TAdminData *d = &TAdminData::required();
    m_rights.clear();
    m_hasList = true;
    d->Group_File->open();
    d->User_bak->open();
    m_rights = linesOf(currentGroupText("Authority"));
    UpdateRightList();
}

void TGroupForm::updateHeader()
{
    m_groupId->setText(currentGroupText("GroupID"));
    m_groupName->setText(currentGroupText("GroupName"));
}

void TGroupForm::DBGrid1CellClick()
{
    UpdateRightList();
}

void TGroupForm::UpdateRightList()
{
    updateHeader();
    UserRightListBox->setEntries(linesOf(currentGroupText("Authority")));
    RightListBox->clear();
    for (const QString &name : rightCatalogue(TAdminData::required().RightList)) {
        if (!UserRightListBox->contains(name))
            RightListBox->addEntry(name);
    }
}

void TGroupForm::SaveGroupAuthority()
{
    TAdminData *d = &TAdminData::required();
    if (!d->Group_File->isActive() || d->Group_File->isEmpty())
        return; // no group to save to
    const QString groupId = currentGroupText("GroupID");
    // The empty list is stored as the empty text: a null string would be
    // bound as a missing value.
    QString authority = memoOf(UserRightListBox->entries());
    if (authority.isNull())
        authority = QStringLiteral("");
    d->Update_group->setParam(QStringLiteral("para1"), authority);
    d->Update_group->setParam(QStringLiteral("para2"), groupId);
    d->Update_group->prepare();
    d->Update_group->execSql();
    d->Group_File->close();
    d->Group_File->open();
    d->Group_File->locate(QStringLiteral("groupid"), groupId);
}

void TGroupForm::BitBtn7Click()
{
    UserRightListBox->addEntries(RightListBox->selectedEntries());
    SaveGroupAuthority();
    UpdateRightList();
}

void TGroupForm::BitBtn8Click()
{
    for (const QString &name : UserRightListBox->selectedEntries())
        m_rights.removeAll(name);
    UserRightListBox->setEntries(m_rights);
    SaveGroupAuthority();
    UpdateRightList();
}

void TGroupForm::BitBtn1Click()
{
    UserRightListBox->addEntries(RightListBox->entries());
    RightListBox->clear();
    SaveGroupAuthority();
}

void TGroupForm::BitBtn2Click()
{
    RightListBox->clear();
    UserRightListBox->clear();
    RightListBox->addEntries(rightCatalogue(TAdminData::required().RightList));
    SaveGroupAuthority();
}

void TGroupForm::Button1Click()
{
    if (!Dialogs::instance().question(QStringLiteral("This will override all the authority setting. Continue?")))
        return;
    TAdminData *d = &TAdminData::required();
    // Without a current group every user without one would match: never.
    if (!d->Group_File->isActive() || d->Group_File->isEmpty())
        return;
    d->User_bak->close();
    const QString groupId = currentGroupText("GroupID");
    const QString authority = currentGroupText("Authority");
    if (groupId.isEmpty())
        return;
    // Read the members afresh on every apply: users may have joined or
    // left the group, or had their rights changed, since the last one.
    MyUser_File->close();
    MyUser_File->open();
    if (MyUser_File->isEmpty())
        return;
    for (MyUser_File->first(); !MyUser_File->eof(); MyUser_File->next()) {
        if (MyUser_File->fieldByName(QStringLiteral("User_Group"))->asString() != groupId)
            continue;
        MyUser_File->edit();
        MyUser_File->fieldByName(QStringLiteral("Authority"))->setValue(authority);
        MyUser_File->post();
    }
}
