#include "users/UserForm.h"

#include "core/Dialogs.h"
#include "core/VoxError.h"
#include "db/AdminData.h"
#include "db/RightsList.h"
#include "users/SHA.h"
#include "users/SortedListBox.h"
#include "users/UserRules.h"
#include "widgets/DBComboBox.h"
#include "widgets/DBGrid.h"
#include "widgets/DBNavigator.h"
#include "widgets/DBEdit.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {
TUserForm *g_current = nullptr;
int g_open = 0; // user windows open; the last one closes User_File

const QString kUnclassified = QStringLiteral("UNCLASSIFIED AE");
const QString kNoGroup = QStringLiteral("NO GROUP");

QPushButton *makeButton(QWidget *parent, const char *name, const QString &caption)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

QCheckBox *makeCheck(QWidget *parent, const char *name, const QString &caption)
{
    auto *c = new QCheckBox(caption, parent);
    c->setObjectName(QString::fromLatin1(name));
    return c;
}

template <typename W>
W *named(W *w, const char *name)
{
    w->setObjectName(QString::fromLatin1(name));
    return w;
}
} // namespace

const char *const TUserForm::PostNewUserFirst =
    "Post the new user first: its rights and members can be set once it is saved.";

TUserForm *TUserForm::current()
{
    return g_current;
}

TUserForm::TUserForm(QWidget *parent)
    : QWidget(parent)
{
    g_current = this;
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
    static const char *const rightNames[4] = {"BitBtn7", "BitBtn8", "BitBtn1", "BitBtn2"};
    QPushButton *rightButtons[4];
    buildListTab(TabSheet1, RightListBox, UserRightListBox, QStringLiteral("Available Rights"),
                 QStringLiteral("User Rights :"), rightButtons, rightNames);
    BitBtn7 = rightButtons[0];
    BitBtn8 = rightButtons[1];
    BitBtn1 = rightButtons[2];
    BitBtn2 = rightButtons[3];
    RightListBox->setObjectName(QStringLiteral("RightListBox"));
    UserRightListBox->setObjectName(QStringLiteral("UserRightListBox"));
    static const char *const memberNames[4] = {"BitBtn10", "BitBtn11", "BitBtn12", "Button1"};
    QPushButton *memberButtons[4];
    buildListTab(TabSheet3, MemberListBox, UserMemberListBox, QStringLiteral("Available Users"),
                 QStringLiteral("Authorized Users"), memberButtons, memberNames);
    BitBtn10 = memberButtons[0];
    BitBtn11 = memberButtons[1];
    BitBtn12 = memberButtons[2];
    Button1 = memberButtons[3];
    MemberListBox->setObjectName(QStringLiteral("MemberListBox"));
    UserMemberListBox->setObjectName(QStringLiteral("UserMemberListBox"));
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
    connect(ListBox1, &QListWidget::currentRowChanged, this, [this] {
        if (ListBox1->isEnabled())
            ListBox1Click();
    });
    connect(PageControl1, &QTabWidget::currentChanged, this, [this](int index) {
        if (index == 0)
            TabSheet2Show();
        else if (index == 1)
            TabSheet1Show();
        else
            TabSheet3Show();
    });
    for (SortedListBox *box : {RightListBox, UserRightListBox}) {
        connect(box, &QListWidget::itemSelectionChanged, this, &TUserForm::TabSheet1Show);
        connect(box, &QListWidget::currentRowChanged, this, &TUserForm::TabSheet1Show);
    }
    for (SortedListBox *box : {MemberListBox, UserMemberListBox}) {
        connect(box, &QListWidget::itemSelectionChanged, this, &TUserForm::TabSheet3Show);
        connect(box, &QListWidget::currentRowChanged, this, &TUserForm::TabSheet3Show);
    }
    connect(BitBtn7, &QPushButton::clicked, this, &TUserForm::BitBtn7Click);
    connect(BitBtn8, &QPushButton::clicked, this, &TUserForm::BitBtn8Click);
    connect(BitBtn1, &QPushButton::clicked, this, &TUserForm::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TUserForm::BitBtn2Click);
    connect(BitBtn10, &QPushButton::clicked, this, &TUserForm::BitBtn10Click);
    connect(BitBtn11, &QPushButton::clicked, this, &TUserForm::BitBtn11Click);
    connect(BitBtn12, &QPushButton::clicked, this, &TUserForm::BitBtn12Click);
    connect(Button1, &QPushButton::clicked, this, &TUserForm::Button1Click);
    connect(CheckBox2, &QCheckBox::clicked, this, &TUserForm::CheckBox2Click);
    connect(UserIDField, &QLineEdit::textChanged, this, &TUserForm::UserIDFieldChange);
    UserIDField->installEventFilter(this);
    connect(d->User_File, &Dataset::recordChanged, this, &TUserForm::updateHeaders);
    connect(d->User_File, &Dataset::currentChanged, this, &TUserForm::updateHeaders);

    FormCreate();
}

TUserForm::~TUserForm()
{
    --g_open;
    if (g_current == this)
        g_current = nullptr;
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

QWidget *TUserForm::buildListTab(QWidget *page, SortedListBox *&available, SortedListBox *&chosen,
                                 const QString &availableCaption, const QString &chosenCaption,
                                 QPushButton *buttons[4], const char *const names[4])
{
    available = new SortedListBox(page);
    chosen = new SortedListBox(page);
    available->setAccessibleName(availableCaption);
    chosen->setAccessibleName(chosenCaption);
    const QString captions[4] = {QStringLiteral("Select"), QStringLiteral("Del Select"), QStringLiteral("Select All"),
                                 QStringLiteral("Delete All")};
    auto *buttonColumn = new QVBoxLayout;
    buttonColumn->addStretch();
    for (int i = 0; i < 4; ++i) {
        buttons[i] = makeButton(page, names[i], captions[i]);
        buttonColumn->addWidget(buttons[i]);
    }
    buttonColumn->addStretch();

    auto *left = new QVBoxLayout;
    auto *availableLabel = new QLabel(availableCaption, page);
    availableLabel->setBuddy(available);
    left->addWidget(availableLabel);
    left->addWidget(available);
    auto *right = new QVBoxLayout;
    auto *chosenLabel = new QLabel(chosenCaption, page);
    chosenLabel->setBuddy(chosen);
    right->addWidget(chosenLabel);
    right->addWidget(chosen);
    auto *lists = new QHBoxLayout;
    lists->addLayout(left, 1);
    lists->addLayout(buttonColumn);
    lists->addLayout(right, 1);

    auto *layout = new QVBoxLayout(page);
    layout->addWidget(header(page));
    layout->addLayout(lists, 1);
    return page;
}

// --- life cycle ----------------------------------------------------------------

void TUserForm::FormCreate()
{
    TAdminData *d = &TAdminData::required();
    UserRules::install(d);
    d->User_File->open();
    d->User_File->first();
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
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
}

void TUserForm::closeEvent(QCloseEvent *event)
{
    // Another user window still open keeps working on the shared dataset.
    TAdminData *d = TAdminData::instance();
    if (d && g_open <= 1) {
        if (d->User_File->state() != Dataset::Browse)
            d->User_File->cancel();
        d->User_File->close();
    }
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
    BitBtn7->setEnabled(RightListBox->hasCurrentEntry());
    BitBtn8->setEnabled(UserRightListBox->hasCurrentEntry());
}

void TUserForm::TabSheet3Show()
{
    ListBox1->setEnabled(false);
    wwDBNavigator1->setVisible(false);
    BitBtn10->setEnabled(MemberListBox->hasCurrentEntry());
    BitBtn11->setEnabled(UserMemberListBox->hasCurrentEntry());
}

// --- the lists ---------------------------------------------------------------

void TUserForm::fillAvailableUsers(const QString &currentUser)
{
    Query *all = TAdminData::required().Query_alluser;
    all->close();
    all->open();
    if (all->isEmpty())
        return;
    for (all->first(); !all->eof(); all->next()) {
        const QString no = all->fieldByName(QStringLiteral("User_No"))->asString();
        if (!UserMemberListBox->contains(no) && no != currentUser)
            MemberListBox->addEntry(no);
    }
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
    UserRightListBox->setEntries(m_rights);
    UserMemberListBox->setEntries(m_members);
    PassWordFirmField->setText(users->fieldByName(QStringLiteral("User_Password"))->asString());
    RightListBox->clear();
    MemberListBox->clear();

    for (const QString &name : rightCatalogue(d->RightList)) {
        if (!UserRightListBox->contains(name))
            RightListBox->addEntry(name);
    }
    // The user number as shown: while a new user is typed, the edit's text.
    fillAvailableUsers(UserIDField->text());
}

bool TUserForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == UserIDField && event->type() == QEvent::FocusOut && UserIDField->isEnabled()) {
        // Leaving the user number edit checks it after the edit has written it.
        QMetaObject::invokeMethod(this, &TUserForm::UserIDFieldExit, Qt::QueuedConnection);
    }
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
        throw VoxError(QStringLiteral("Incorrect password entry."));
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
    UserRightListBox->addEntries(RightListBox->selectedEntries());
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
    UserRightListBox->addEntries(RightListBox->entries());
    RightListBox->clear();
    SaveAuthority();
}

void TUserForm::BitBtn2Click()
{
    RightListBox->clear();
    UserRightListBox->clear();
    RightListBox->addEntries(rightCatalogue(TAdminData::required().RightList));
    SaveAuthority();
}

void TUserForm::BitBtn10Click()
{
    UserMemberListBox->addEntries(MemberListBox->selectedEntries());
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
    UserMemberListBox->addEntries(MemberListBox->entries());
    MemberListBox->clear();
    SaveMember();
}

void TUserForm::Button1Click()
{
    MemberListBox->clear();
    UserMemberListBox->clear();
    fillAvailableUsers(TAdminData::required().User_File->fieldByName(QStringLiteral("User_No"))->asString());
    SaveMember();
}
