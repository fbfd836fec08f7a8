#include "users/GroupForm.h"

#include "core/Dialogs.h"
#include "core/Guard.h"
#include "core/VoxError.h"
#include "db/AdminData.h"
#include "db/RightsList.h"
#include "db/Schema.h"
#include "widgets/DBGrid.h"
#include "widgets/ListAssignment.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {
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

TGroupForm::TGroupForm(QWidget *parent)
    : QWidget(parent)
{
    ++g_open;
    setObjectName(QStringLiteral("TGroupForm"));
    setWindowTitle(QStringLiteral("Group Setup"));
    setAttribute(Qt::WA_DeleteOnClose);

    TAdminData *d = &TAdminData::required();
    m_rules = std::make_unique<GroupRules>(*d->Group_File, static_cast<GroupScreen &>(*this));
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

    const ListAssignment::Names names{"RightListBox", "UserRightListBox", {"BitBtn7", "BitBtn8", "BitBtn1", "BitBtn2"}};
    RightsAssignment = new ListAssignment(QStringLiteral("Available Rights"), QStringLiteral("User Rights :"), names,
                                          TabSheet2);
    RightListBox = RightsAssignment->availableList();
    UserRightListBox = RightsAssignment->chosenList();
    BitBtn7 = RightsAssignment->selectButton();
    BitBtn8 = RightsAssignment->delSelectButton();
    BitBtn1 = RightsAssignment->selectAllButton();
    BitBtn2 = RightsAssignment->deleteAllButton();
    Button1 = makeButton(TabSheet2, "Button1", QStringLiteral("Apply to All Members of the Group"));

    auto *authority = new QVBoxLayout(TabSheet2);
    authority->addLayout(head);
    authority->addWidget(RightsAssignment, 1);
    authority->addWidget(Button1, 0, Qt::AlignRight);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(PageControl1);

    vox::connect(BitBtn7, &QPushButton::clicked, this, &TGroupForm::BitBtn7Click);
    vox::connect(BitBtn8, &QPushButton::clicked, this, &TGroupForm::BitBtn8Click);
    vox::connect(BitBtn1, &QPushButton::clicked, this, &TGroupForm::BitBtn1Click);
    vox::connect(BitBtn2, &QPushButton::clicked, this, &TGroupForm::BitBtn2Click);
    vox::connect(Button1, &QPushButton::clicked, this, &TGroupForm::Button1Click);
    // A click on a cell, or a move through the grid with the keyboard.
    vox::connect(d->Group_File, &Dataset::currentChanged, this, [this] {
        if (m_shown)
            DBGrid1CellClick();
    });
}

TGroupForm::~TGroupForm()
{
    --g_open;
}

void TGroupForm::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    vox::guard([&] {
        if (!m_shown) {
            m_shown = true;
            FormShow();
        }
    });
}

void TGroupForm::closeEvent(QCloseEvent *event)
{
    vox::guard([&] {
        // Another group window still open keeps working on the shared
        // datasets.
        TAdminData *d = TAdminData::instance();
        if (d && g_open <= 1) {
            d->User_bak->close();
            d->Group_File->close();
        }
    });
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
    RightsAssignment->setChosen(linesOf(currentGroupText("Authority")), rightCatalogue(TAdminData::required().RightList));
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
    // Through the dataset, so the group is written only while it still
    // holds the rights read, and the change is audited.
    Dataset *groups = d->Group_File;
    groups->edit();
    groups->fieldByName(QStringLiteral("Authority"))->setValue(authority);
    try {
        groups->post();
    } catch (const RecordChangedError &) {
        // The group was read again: the lists show what it now holds.
        m_rights = linesOf(currentGroupText("Authority"));
        UpdateRightList();
        throw;
    } catch (...) {
        if (groups->state() != Dataset::Browse)
            groups->cancel();
        throw;
    }
    d->Group_File->close();
    d->Group_File->open();
    d->Group_File->locate(QStringLiteral("groupid"), groupId);
}

void TGroupForm::BitBtn7Click()
{
    RightsAssignment->chooseSelected();
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
    RightsAssignment->chooseAll();
    SaveGroupAuthority();
}

void TGroupForm::BitBtn2Click()
{
    RightsAssignment->clearChosen(rightCatalogue(TAdminData::required().RightList));
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
    // Every member takes the template, or none does.
    GroupRules::applyToMembers(*MyUser_File, groupId, authority);
}
