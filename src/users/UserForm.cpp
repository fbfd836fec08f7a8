#include "users/UserForm.h"

#include "core/Dialogs.h"
#include "core/Guard.h"
#include "core/VoxError.h"
#include "db/AdminData.h"
#include "db/RightsList.h"
#include "users/SHA.h"
#include "widgets/DBComboBox.h"
#include "widgets/DBGrid.h"
#include "widgets/DBNavigator.h"
#include "widgets/DBEdit.h"
#include "widgets/ListAssignment.h"
#include "widgets/Named.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {
int g_open = 0; // user windows open; the last one closes User_File

const QString kUnclassified = QStringLiteral("UNCLASSIFIED AE");
const QString kNoGroup = QStringLiteral("NO GROUP");

QCheckBox *makeCheck(QWidget *parent, const char *name, const QString &caption)
{
    auto *c = new QCheckBox(caption, parent);
    c->setObjectName(QString::fromLatin1(name));
    return c;
}

} // namespace

const char *const TUserForm::PostNewUserFirst =
    "Post the new user first: its rights and members can be set once it is saved.";

TUserForm::TUserForm(QWidget *parent)
    : QWidget(parent)
{
    ++g_open;
    setObjectName(QStringLiteral("TUserForm"));
    setWindowTitle(QStringLiteral("User Profile"));
    setAttribute(Qt::WA_DeleteOnClose);

    TAdminData *d = &TAdminData::required();
    SHA1 = new TSHA(this);
    SHA1->setObjectName(QStringLiteral("SHA1"));

    ListBox1 = named(new QListWidget(this), "ListBox1");
    ListBox1->setAccessibleName(QStringLiteral("Groups"));
    ListBox1->setMaximumWidth(180);

    PageControl1 = named(new QTabWidget(this), "PageControl1");
    TabSheet2 = named(new QWidget, "TabSheet2");
    TabSheet1 = named(new QWidget, "TabSheet1");
    TabSheet3 = named(new QWidget, "TabSheet3");
    buildInformationTab();
    static const char *const rightNames[6] = {"RightListBox", "UserRightListBox", "BitBtn7",
                                              "BitBtn8",      "BitBtn1",          "BitBtn2"};
    RightsAssignment = buildListTab(TabSheet1, QStringLiteral("Available Rights"), QStringLiteral("User Rights :"),
                                    rightNames);
    RightListBox = RightsAssignment->availableList();
    UserRightListBox = RightsAssignment->chosenList();
    BitBtn7 = RightsAssignment->selectButton();
    BitBtn8 = RightsAssignment->delSelectButton();
    BitBtn1 = RightsAssignment->selectAllButton();
    BitBtn2 = RightsAssignment->deleteAllButton();
    static const char *const memberNames[6] = {"MemberListBox", "UserMemberListBox", "BitBtn10",
                                               "BitBtn11",      "BitBtn12",          "Button1"};
    MembersAssignment = buildListTab(TabSheet3, QStringLiteral("Available Users"), QStringLiteral("Authorized Users"),
                                     memberNames);
    MemberListBox = MembersAssignment->availableList();
    UserMemberListBox = MembersAssignment->chosenList();
    BitBtn10 = MembersAssignment->selectButton();
    BitBtn11 = MembersAssignment->delSelectButton();
    BitBtn12 = MembersAssignment->selectAllButton();
    Button1 = MembersAssignment->deleteAllButton();
    PageControl1->addTab(TabSheet2, QStringLiteral("User Information"));
    PageControl1->addTab(TabSheet1, QStringLiteral("User Authority"));
    PageControl1->addTab(TabSheet3, QStringLiteral("Member Setting"));

    wwDBNavigator1 = named(new DBNavigator(this), "wwDBNavigator1");
    wwDBNavigator1->setDataset(d->User_File);
    wwDBNavigator1->setBeforeAction(DBNavigator::Insert, [this] { InsertClick(); });
    wwDBNavigator1->setBeforeAction(DBNavigator::Edit, [this] { EditClick(); });
    wwDBNavigator1->setBeforeAction(DBNavigator::Post, [this] { PostClick(); });
    wwDBNavigator1->setBeforeAction(DBNavigator::Delete, [this] { DeleteClick(); });

    auto *centre = new QVBoxLayout;
    centre->addWidget(PageControl1, 1);
    centre->addWidget(wwDBNavigator1);
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(ListBox1);
    layout->addLayout(centre, 1);

    // A click or a key that picks another group.
    vox::connect(ListBox1, &QListWidget::currentRowChanged, this, [this] {
        if (ListBox1->isEnabled())
            ListBox1Click();
    });
    vox::connect(PageControl1, &QTabWidget::currentChanged, this, [this](int index) {
        if (index == 0)
            TabSheet2Show();
        else if (index == 1)
            TabSheet1Show();
        else
            TabSheet3Show();
    });
    vox::connect(RightsAssignment, &ListAssignment::listsClicked, this, &TUserForm::TabSheet1Show);
    vox::connect(MembersAssignment, &ListAssignment::listsClicked, this, &TUserForm::TabSheet3Show);
    vox::connect(BitBtn7, &QPushButton::clicked, this, &TUserForm::BitBtn7Click);
    vox::connect(BitBtn8, &QPushButton::clicked, this, &TUserForm::BitBtn8Click);
    vox::connect(BitBtn1, &QPushButton::clicked, this, &TUserForm::BitBtn1Click);
    vox::connect(BitBtn2, &QPushButton::clicked, this, &TUserForm::BitBtn2Click);
    vox::connect(BitBtn10, &QPushButton::clicked, this, &TUserForm::BitBtn10Click);
    vox::connect(BitBtn11, &QPushButton::clicked, this, &TUserForm::BitBtn11Click);
    vox::connect(BitBtn12, &QPushButton::clicked, this, &TUserForm::BitBtn12Click);
    vox::connect(Button1, &QPushButton::clicked, this, &TUserForm::Button1Click);
    vox::connect(CheckBox2, &QCheckBox::clicked, this, &TUserForm::CheckBox2Click);
    vox::connect(UserIDField, &QLineEdit::textChanged, this, &TUserForm::UserIDFieldChange);
    UserIDField->installEventFilter(this);
    vox::connect(d->User_File, &Dataset::recordChanged, this, &TUserForm::updateHeaders);
    vox::connect(d->User_File, &Dataset::currentChanged, this, &TUserForm::updateHeaders);
    // "Enter Again" takes what "Password" takes.
    auto confirmLength = [this] { PassWordFirmField->setMaxLength(PasswordField->maxLength()); };
    vox::connect(d->User_File, &Dataset::opened, this, confirmLength);

    vox::guard([this] { FormCreate(); });
}

TUserForm::~TUserForm()
{
    --g_open;
}

// --- what the rules use ---------------------------------------------------------

QString TUserForm::passwordConfirmation() const
{
    return PassWordFirmField->text();
}

bool TUserForm::supervisorBox() const
{
    return CheckBox3->isChecked();
}

void TUserForm::setSupervisorBox(bool on)
{
    CheckBox3->setChecked(on);
}

bool TUserForm::suspendBox() const
{
    return CheckBox1->isChecked();
}

void TUserForm::setSuspendBox(bool on)
{
    CheckBox1->setChecked(on);
}

bool TUserForm::skipShortSellBox() const
{
    return CheckBox10->isChecked();
}

void TUserForm::setSkipShortSellBox(bool on)
{
    CheckBox10->setChecked(on);
}

void TUserForm::setUserNumberEditable(bool on)
{
    UserIDField->setEnabled(on);
}

void TUserForm::setRightsWorkingList(const QStringList &rights)
{
    m_rights = rights;
}

TSHA &TUserForm::digest()
{
    return *SHA1;
}

QWidget *TUserForm::header(QWidget *parent)
{
    auto *box = new QWidget(parent);
    auto *row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    auto *no = new QLabel(box);
    auto *name = new QLabel(box);
    QFont f = no->font();
    f.setBold(true);
    no->setFont(f);
    name->setFont(f);
    row->addWidget(new QLabel(QStringLiteral("User ID"), box));
    row->addWidget(no);
    row->addSpacing(20);
    row->addWidget(new QLabel(QStringLiteral("Full Name"), box));
    row->addWidget(name);
    row->addStretch();
    m_headerLabels << no << name;
    return box;
}

void TUserForm::updateHeaders()
{
    Dataset *users = TAdminData::instance() ? TAdminData::instance()->User_File : nullptr;
    const bool open = users && users->isActive();
    const QString no = open ? users->fieldByName(QStringLiteral("User_No"))->asString() : QString();
    const QString name = open ? users->fieldByName(QStringLiteral("Full_Name"))->asString() : QString();
    for (int i = 0; i + 1 < m_headerLabels.size(); i += 2) {
        m_headerLabels[i]->setText(no);
        m_headerLabels[i + 1]->setText(name);
    }
}

QWidget *TUserForm::buildInformationTab()
{
    Dataset *users = TAdminData::required().User_File;
    QWidget *page = TabSheet2;

    wwDBGrid1 = named(new DBGrid(page), "wwDBGrid1");
    wwDBGrid1->setDataset(users);
    wwDBGrid1->addColumn(QStringLiteral("User_No"), QStringLiteral("User ID"));
    wwDBGrid1->addColumn(QStringLiteral("Full_Name"), QStringLiteral("Full Name"));
    wwDBGrid1->addCheckBoxColumn(QStringLiteral("AdminUser"), QStringLiteral("As a Supervisor"), 9);
    wwDBGrid1->addColumn(QStringLiteral("TradeLimit"), QStringLiteral("TradeLimit"));
    wwDBGrid1->addColumn(QStringLiteral("SEHK"), QStringLiteral("OG ID"));
    wwDBGrid1->addColumn(QStringLiteral("DummyAc"), QStringLiteral("Dummy A/C"));
    wwDBGrid1->setAccessibleName(QStringLiteral("Users"));

    UserIDField = named(new DBEdit(users, QStringLiteral("User_No"), page), "UserIDField");
    UserIDField->setEnabled(false);
    FullNameField = named(new DBEdit(users, QStringLiteral("Full_Name"), page), "FullNameField");
    FullNameField->setCharCase(DBEdit::Upper);
    GroupField = named(new DBComboBox(users, QStringLiteral("User_Group"), page), "GroupField");
    PasswordField = named(new DBEdit(users, QStringLiteral("User_Password"), page), "PasswordField");
    PasswordField->setPasswordMode(true);
    PassWordFirmField = named(new QLineEdit(page), "PassWordFirmField");
    PassWordFirmField->setEchoMode(QLineEdit::Password);
    PassWordFirmField->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
    OGIDField = named(new DBEdit(users, QStringLiteral("SEHK"), page), "OGIDField");
    DummyACField = named(new DBEdit(users, QStringLiteral("DummyAc"), page), "DummyACField");
    CheckBox1 = makeCheck(page, "CheckBox1", QStringLiteral("Suspend Trading"));
    CheckBox10 = makeCheck(page, "CheckBox10", QStringLiteral("Skip Short Sell"));
    CheckBox3 = makeCheck(page, "CheckBox3", QStringLiteral("As a Supervisor"));
    CheckBox2 = makeCheck(page, "CheckBox2", QStringLiteral("Show Users Belonging To No Group"));
    CheckBox2->setVisible(false);

    auto *form = new QFormLayout;
    const std::pair<QString, QWidget *> rows[] = {
        {QStringLiteral("User ID"), UserIDField},      {QStringLiteral("Full Name"), FullNameField},
        {QStringLiteral("Group"), GroupField},          {QStringLiteral("Password"), PasswordField},
        {QStringLiteral("Enter Again"), PassWordFirmField}, {QStringLiteral("OG ID"), OGIDField},
        {QStringLiteral("Dummy A/C"), DummyACField},
    };
    for (const auto &[caption, widget] : rows) {
        auto *label = new QLabel(caption, page);
        label->setBuddy(widget);
        widget->setAccessibleName(caption);
        form->addRow(label, widget);
    }
    auto *boxes = new QVBoxLayout;
    boxes->addWidget(CheckBox1);
    boxes->addWidget(CheckBox10);
    boxes->addWidget(CheckBox3);
    boxes->addStretch();
    auto *fields = new QHBoxLayout;
    fields->addLayout(form, 1);
    fields->addLayout(boxes);

    auto *layout = new QVBoxLayout(page);
    layout->addWidget(header(page));
    layout->addWidget(wwDBGrid1, 1);
    layout->addLayout(fields);
    return page;
}

ListAssignment *TUserForm::buildListTab(QWidget *page, const QString &availableCaption,
                                        const QString &chosenCaption, const char *const names[6])
{
    const ListAssignment::Names objectNames{names[0], names[1], {names[2], names[3], names[4], names[5]}};
    auto *lists = new ListAssignment(availableCaption, chosenCaption, objectNames, page);
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(header(page));
    layout->addWidget(lists, 1);
    return lists;
}

// --- life cycle ----------------------------------------------------------------

void TUserForm::FormCreate()
{
    TAdminData *d = &TAdminData::required();
    m_rules = std::make_unique<UserRules>(*d->User_File, *d->User_Profile, static_cast<UserScreen &>(*this));
    // Never moves a dataset another window is editing: a move would post
    // that window's edit from here.
    if (!d->User_File->isActive()) {
        d->User_File->open();
        d->User_File->first();
    }
    PassWordFirmField->setMaxLength(PasswordField->maxLength());
    if (!d->User_Profile->isActive())
        d->User_Profile->open();
    m_rights = linesOf(d->User_File->fieldByName(QStringLiteral("Authority"))->asString());
    m_members = linesOf(d->User_File->fieldByName(QStringLiteral("Member"))->asString());
    d->Group_File->open();
    updateHeaders();
}

void TUserForm::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    vox::guard([&] {
        if (!m_shown) {
            m_shown = true;
            FormShow();
        }
    });
}

void TUserForm::closeEvent(QCloseEvent *event)
{
    vox::guard([&] {
        // Another user window still open keeps working on the shared dataset.
        TAdminData *d = TAdminData::instance();
        if (d && g_open <= 1) {
            if (d->User_File->state() != Dataset::Browse)
                d->User_File->cancel();
            d->User_File->close();
        }
    });
    QWidget::closeEvent(event);
}

void TUserForm::FormShow()
{
    TAdminData *d = &TAdminData::required();
    Dataset *groups = d->Group_File;
    groups->close();
    groups->open();
    ListBox1->blockSignals(true);
    ListBox1->clear();
    QStringList choices;
    const int count = groups->recordCount();
    groups->first();
    for (int i = 0; i < count; ++i) {
        const QString id = groups->fieldByName(QStringLiteral("GroupID"))->asString();
        ListBox1->addItem(id);
        choices << id;
        groups->next();
    }
    choices << kNoGroup;
    GroupField->setChoices(choices);
    ListBox1->addItem(kUnclassified);
    ListBox1->setCurrentRow(ListBox1->count() - 1);
    ListBox1->blockSignals(false);
    ListBox1Click();
}

void TUserForm::ListBox1Click()
{
    Dataset *users = TAdminData::required().User_File;
    if (!users->isActive() || !ListBox1->currentItem())
        return;
    const QString entry = ListBox1->currentItem()->text();
    if (entry != kUnclassified) {
        users->setFilter(Dataset::fieldEquals(QStringLiteral("User_group"), entry));
        users->setFiltered(true);
    } else {
        CheckBox2Click();
    }
}

void TUserForm::showGroup(const QString &group)
{
    const QString entry = group.isEmpty() ? kUnclassified : group;
    const auto items = ListBox1->findItems(entry, Qt::MatchExactly);
    if (items.isEmpty() || items.first() == ListBox1->currentItem())
        return;
    {
        const QSignalBlocker quiet(ListBox1);
        ListBox1->setCurrentItem(items.first());
    }
    ListBox1Click();
}

void TUserForm::CheckBox2Click()
{
    Dataset *users = TAdminData::required().User_File;
    users->setFilter(Dataset::fieldEquals(QStringLiteral("User_Group"), QString()));
    users->setFiltered(true);
}

void TUserForm::TabSheet2Show()
{
    ListBox1->setEnabled(true);
    wwDBNavigator1->setVisible(true);
}

void TUserForm::TabSheet1Show()
{
    ListBox1->setEnabled(false);
    wwDBNavigator1->setVisible(false);
    RightsAssignment->enableByCurrentEntries();
}

void TUserForm::TabSheet3Show()
{
    ListBox1->setEnabled(false);
    wwDBNavigator1->setVisible(false);
    MembersAssignment->enableByCurrentEntries();
}

// --- the lists ---------------------------------------------------------------

QStringList TUserForm::allUserNumbers()
{
    Query *all = TAdminData::required().Query_alluser;
    all->close();
    all->open();
    QStringList numbers;
    if (all->isEmpty())
        return numbers;
    for (all->first(); !all->eof(); all->next())
        numbers << all->fieldByName(QStringLiteral("User_No"))->asString();
    return numbers;
}

void TUserForm::UserIDFieldChange()
{
    TAdminData *d = &TAdminData::required();
    Dataset *users = d->User_File;
    if (!users->isActive())
        return;
    // The working lists belong to the user shown, whichever way it became
    // current.
    m_rights = linesOf(users->fieldByName(QStringLiteral("Authority"))->asString());
    m_members = linesOf(users->fieldByName(QStringLiteral("Member"))->asString());
    PassWordFirmField->setText(users->fieldByName(QStringLiteral("User_Password"))->asString());
    RightsAssignment->setChosen(m_rights, rightCatalogue(d->RightList));
    UserMemberListBox->setEntries(m_members);
    // The user number as shown: while a new user is typed, the edit's text.
    MembersAssignment->offer(allUserNumbers(), {UserIDField->text()});
}

bool TUserForm::eventFilter(QObject *watched, QEvent *event)
{
    vox::guard([&] {
        if (watched == UserIDField && event->type() == QEvent::FocusOut && UserIDField->isEnabled()) {
            // Leaving the user number edit checks it after the edit has
            // written it.
            QMetaObject::invokeMethod(this, vox::guarded(this, &TUserForm::UserIDFieldExit), Qt::QueuedConnection);
        }
    });
    return QWidget::eventFilter(watched, event);
}

void TUserForm::UserIDFieldExit()
{
    TAdminData *d = &TAdminData::required();
    // Only a number still being entered is checked; a user saved meanwhile
    // (a move to another row posts it) is not a duplicate of itself.
    if (d->User_File->state() != Dataset::Insert)
        return;
    Query *q = d->Query_User;
    q->setParam(QStringLiteral("MPARAMS"), UserIDField->text());
    q->close();
    q->open();
    if (!q->isEmpty()) {
        Dialogs::instance().error(QStringLiteral("Can not dulplicate entry a Exist UserID."));
        d->User_File->cancel();
    }
}

// --- navigator steps ---------------------------------------------------------

void TUserForm::InsertClick()
{
    UserIDField->setEnabled(true);
    UserIDField->setFocus();
}

void TUserForm::EditClick()
{
    UserIDField->setEnabled(false);
}

void TUserForm::PostClick()
{
    if (PasswordField->text() != PassWordFirmField->text())
        throw VoxError(QString::fromLatin1(UserRules::IncorrectPassword));
    UserIDField->setEnabled(false);
}

void TUserForm::DeleteClick()
{
    if (!Dialogs::instance().confirm(QStringLiteral("Delete record?")))
        throw VoxAbort();
}

// --- saving the lists ----------------------------------------------------------

void TUserForm::saveList(const QString &fieldName, SortedListBox *box, QStringList &working)
{
    Dataset *users = TAdminData::required().User_File;
    // A new user is saved through Post, where the password is confirmed.
    if (users->state() == Dataset::Insert)
        throw VoxError(QString::fromLatin1(PostNewUserFirst));
    if (users->isEmpty()) {
        UserIDFieldChange(); // nothing to save to: show the lists as they are
        return;
    }
    const Dataset::Bookmark mark = users->bookmark();
    users->edit();
    users->fieldByName(fieldName)->setValue(memoOf(box->entries()));
    std::exception_ptr failure;
    try {
        users->post();
    } catch (...) {
        // Refused by the database: the record stays in editing. Written but
        // a rule failed afterwards: the list is saved; finish, then report.
        if (users->state() != Dataset::Browse)
            throw;
        failure = std::current_exception();
    }
    users->refresh();
    working = linesOf(users->fieldByName(fieldName)->asString());
    users->gotoBookmark(mark);
    if (failure)
        std::rethrow_exception(failure);
}

void TUserForm::SaveAuthority()
{
    saveList(QStringLiteral("Authority"), UserRightListBox, m_rights);
}

void TUserForm::SaveMember()
{
    saveList(QStringLiteral("Member"), UserMemberListBox, m_members);
}

void TUserForm::BitBtn7Click()
{
    RightsAssignment->chooseSelected();
    SaveAuthority();
    UserIDFieldChange();
}

void TUserForm::BitBtn8Click()
{
    for (const QString &name : UserRightListBox->selectedEntries())
        m_rights.removeAll(name);
    UserRightListBox->setEntries(m_rights);
    SaveAuthority();
    UserIDFieldChange();
}

void TUserForm::BitBtn1Click()
{
    RightsAssignment->chooseAll();
    SaveAuthority();
}

void TUserForm::BitBtn2Click()
{
    RightsAssignment->clearChosen(rightCatalogue(TAdminData::required().RightList));
    SaveAuthority();
}

void TUserForm::BitBtn10Click()
{
    MembersAssignment->chooseSelected();
    SaveMember();
    UserIDFieldChange();
}

void TUserForm::BitBtn11Click()
{
    for (const QString &no : UserMemberListBox->selectedEntries())
        m_members.removeAll(no);
    UserMemberListBox->setEntries(m_members);
    SaveMember();
    UserIDFieldChange();
}

void TUserForm::BitBtn12Click()
{
    MembersAssignment->chooseAll();
    SaveMember();
}

void TUserForm::Button1Click()
{
    MembersAssignment->clearChosen({});
    const QString self = TAdminData::required().User_File->fieldByName(QStringLiteral("User_No"))->asString();
    MembersAssignment->offer(allUserNumbers(), {self});
    SaveMember();
}
