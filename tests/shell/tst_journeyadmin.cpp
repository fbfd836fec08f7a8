#include "JourneyFixture.h"

#include "shell/MainForm.h"
#include "support/PdfText.h"
#include "support/TestDb.h"
#include "support/TestMain.h"
#include "support/Typing.h"
#include "widgets/ListAssignment.h"

#include <QAbstractItemModel>
#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolButton>

namespace {
// A rights or member list as stored: one entry a line.
QStringList entriesOf(const QString &stored)
{
    QStringList out = stored.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    out.sort();
    return out;
}

// Clicks the row of a grid whose first column shows key.
bool clickRow(QAbstractItemView *grid, const QString &key)
{
    for (int r = 0; r < grid->model()->rowCount(); ++r) {
        const QModelIndex cell = grid->model()->index(r, 0);
        if (cell.data().toString().trimmed() == key) {
            grid->scrollTo(cell);
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(cell).center());
            return true;
        }
    }
    return false;
}

// Selects entries of a list as clicks would, the first becoming current.
void choose(SortedListBox *box, const QStringList &entries)
{
    box->selectEntries(entries);
    box->setCurrentRow(box->entries().indexOf(entries.first()), QItemSelectionModel::NoUpdate);
}
} // namespace

// The supervisor's day through the whole console: started as main() starts
// it in a demo folder, logged in through the login window, with the real
// risk manager program keeping riskman_file. User maintenance, the group
// template applied to the members, and a new customer with its sheet.
class TestJourneyAdmin : public QObject
{
    Q_OBJECT

    std::unique_ptr<JourneyFixture> fx;

    QString userField(const QString &no, const QString &column)
    {
        return TestDb::scalar(fx->conn, QStringLiteral("SELECT %1 FROM dbo.User_File WHERE User_No = ?").arg(column),
                              {no})
            .toString()
            .trimmed();
    }

private slots:
    void initTestCase_data() { VOX_DB_BACKENDS(); }

    void init()
    {
        QFETCH_GLOBAL(QString, backend);
        fx = std::make_unique<JourneyFixture>();
        if (!fx->setUp(backend))
            QSKIP("PostgreSQL test server not available");
        // A mistyped password first: the login window says so and stays.
        QVERIFY(fx->start({{QStringLiteral("admin"), QStringLiteral("ADMIN")},
                           {QStringLiteral("admin"), QStringLiteral("admin")}}));
        QCOMPARE(fx->dialogs->texts().join(QLatin1Char('\n')), QStringLiteral("Invalid login user Password!"));
        QCOMPARE(fx->dialogs->lastKind(), QStringLiteral("report"));
        fx->dialogs->clear();
        // A supervisor: user, group and customer maintenance, not the
        // risk-management windows.
        TMainForm &main = fx->mainForm();
        for (QAction *a : {main.UserAction, main.GroupAction, main.NewCustAction, main.AuditAction,
                           main.UnconfirmedAction})
            QVERIFY2(a->isEnabled(), qPrintable(a->objectName()));
        for (QAction *a : {main.CustomerAction, main.SecurityAction, main.MarketParamAction, main.AcctPassAction,
                           main.EntitlementAction})
            QVERIFY2(!a->isEnabled(), qPrintable(a->objectName()));
    }

    void cleanup() { fx.reset(); }

    void newDealerWithRightsAndMembersThenTheGroupTemplate()
    {
        QWidget *users = fx->trigger("UserAction");
        QVERIFY(users);
        QCOMPARE(users->objectName(), QStringLiteral("TUserForm"));
        JOURNEY_CONTROL(nav, QWidget, users, "wwDBNavigator1");
        JOURNEY_CONTROL(insert, QToolButton, nav, "Insert");
        JOURNEY_CONTROL(post, QToolButton, nav, "Post");
        JOURNEY_CONTROL(userId, QLineEdit, users, "UserIDField");
        JOURNEY_CONTROL(fullName, QLineEdit, users, "FullNameField");
        JOURNEY_CONTROL(group, QComboBox, users, "GroupField");
        JOURNEY_CONTROL(password, QLineEdit, users, "PasswordField");
        JOURNEY_CONTROL(confirmation, QLineEdit, users, "PassWordFirmField");
        JOURNEY_CONTROL(suspend, QCheckBox, users, "CheckBox1");
        JOURNEY_CONTROL(pages, QTabWidget, users, "PageControl1");

        // A new dealer of the dealing desk, suspended from the start.
        clickOn(insert);
        QVERIFY(userId->isEnabled());
        QTest::keyClicks(userId, QStringLiteral("D006"));
        fullName->setFocus();
        QTest::keyClicks(fullName, QStringLiteral("fong ka wai"));
        QTest::keyClicks(group->lineEdit(), QStringLiteral("DEALING"));
        retype(password, QStringLiteral("d006"));
        retype(confirmation, QStringLiteral("d006"));
        tick(suspend);
        QVERIFY(suspend->isChecked());
        clickOn(post);
        QVERIFY2(fx->dialogs->entries.isEmpty(), qPrintable(fx->dialogs->lastText()));
        QVERIFY(!userId->isEnabled());
        QCOMPARE(userField(QStringLiteral("D006"), QStringLiteral("Full_Name")), QStringLiteral("FONG KA WAI"));
        QCOMPARE(userField(QStringLiteral("D006"), QStringLiteral("User_Group")), QStringLiteral("DEALING"));
        QCOMPARE(userField(QStringLiteral("D006"), QStringLiteral("PasswordHash")), sha1Hex(QStringLiteral("d006")));
        // Both commands reached the risk manager: the suspension is a row,
        // the short-sell skip is none.
        QVERIFY(fx->commandsConfirmed());
        QCOMPARE(fx->riskRows(QStringLiteral("D006")), QStringList{QStringLiteral("ORD|13|SUSPEND|")});

        // The list showed the users without a group: the window now lists
        // the dealing desk and still shows the new dealer.
        JOURNEY_CONTROL(groupList, QListWidget, users, "ListBox1");
        JOURNEY_CONTROL(userGrid, QAbstractItemView, users, "wwDBGrid1");
        QCOMPARE(groupList->currentItem()->text(), QStringLiteral("DEALING"));
        QCOMPARE(userId->text(), QStringLiteral("D006"));
        QVERIFY(clickRow(userGrid, QStringLiteral("D006")));
        QCOMPARE(userId->text(), QStringLiteral("D006"));
        QVERIFY(suspend->isChecked());

        // Rights of its own, then the members it may act for.
        pages->setCurrentIndex(1);
        JOURNEY_CONTROL(rights, SortedListBox, users, "RightListBox");
        JOURNEY_CONTROL(selectRights, QPushButton, users, "BitBtn7");
        choose(rights, {QStringLiteral("Order Entry"), QStringLiteral("Report")});
        clickOn(selectRights);
        QCOMPARE(entriesOf(userField(QStringLiteral("D006"), QStringLiteral("Authority"))),
                 (QStringList{QStringLiteral("Order Entry"), QStringLiteral("Report")}));
        pages->setCurrentIndex(2);
        JOURNEY_CONTROL(members, SortedListBox, users, "MemberListBox");
        JOURNEY_CONTROL(selectMembers, QPushButton, users, "BitBtn10");
        choose(members, {QStringLiteral("D001"), QStringLiteral("D002")});
        clickOn(selectMembers);
        QCOMPARE(entriesOf(userField(QStringLiteral("D006"), QStringLiteral("Member"))),
                 (QStringList{QStringLiteral("D001"), QStringLiteral("D002")}));
        QVERIFY2(fx->dialogs->entries.isEmpty(), qPrintable(fx->dialogs->lastText()));
        // Every save posts the user again, and its commands with it.
        QVERIFY(fx->commandsConfirmed());
        QCOMPARE(fx->riskRows(QStringLiteral("D006")), QStringList{QStringLiteral("ORD|13|SUSPEND|")});

        // The dealing desk's template gains "Report" and goes to every
        // member of the group, the new dealer included.
        QWidget *groups = fx->trigger("GroupAction");
        QVERIFY(groups);
        QCOMPARE(groups->objectName(), QStringLiteral("TGroupForm"));
        JOURNEY_CONTROL(groupPages, QTabWidget, groups, "PageControl1");
        JOURNEY_CONTROL(grid, QAbstractItemView, groups, "DBGrid1");
        groupPages->setCurrentIndex(0);
        QVERIFY(clickRow(grid, QStringLiteral("DEALING")));
        groupPages->setCurrentIndex(1);
        JOURNEY_CONTROL(templateRights, SortedListBox, groups, "RightListBox");
        JOURNEY_CONTROL(selectTemplate, QPushButton, groups, "BitBtn7");
        JOURNEY_CONTROL(apply, QPushButton, groups, "Button1");
        choose(templateRights, {QStringLiteral("Report")});
        clickOn(selectTemplate);
        const QString stored =
            TestDb::scalar(fx->conn, QStringLiteral("SELECT Authority FROM dbo.Group_File WHERE GroupID = 'DEALING'"))
                .toString();
        const QStringList desk{QStringLiteral("Order Entry"), QStringLiteral("Position Enquiry"),
                               QStringLiteral("Report"), QStringLiteral("Trade Enquiry")};
        QCOMPARE(entriesOf(stored), desk);
        const QString salesBefore = userField(QStringLiteral("D003"), QStringLiteral("Authority"));
        clickOn(apply);
        QCOMPARE(fx->dialogs->texts(),
                 QStringList{QStringLiteral("This will override all the authority setting. Continue?")});
        for (const char *member : {"D001", "D002", "D006"})
            QCOMPARE(entriesOf(userField(QString::fromLatin1(member), QStringLiteral("Authority"))), desk);
        // Members of other groups and what else a member holds stay.
        QCOMPARE(userField(QStringLiteral("D003"), QStringLiteral("Authority")), salesBefore.trimmed());
        QCOMPARE(entriesOf(userField(QStringLiteral("D006"), QStringLiteral("Member"))),
                 (QStringList{QStringLiteral("D001"), QStringLiteral("D002")}));
        QCOMPARE(userField(QStringLiteral("D006"), QStringLiteral("PasswordHash")), sha1Hex(QStringLiteral("d006")));

        // Nothing is waiting for the risk manager: the list is empty.
        QWidget *unconfirmed = fx->trigger("UnconfirmedAction");
        QVERIFY(unconfirmed);
        JOURNEY_CONTROL(list, QTableWidget, unconfirmed, "CommandList");
        QCOMPARE(list->rowCount(), 0);
        QCOMPARE(fx->unconfirmedCount(), 0);
    }

    void newCustomerIsStoredTwiceAndItsSheetPrinted()
    {
        QWidget *form = fx->trigger("NewCustAction");
        QVERIFY(form);
        QCOMPARE(form->objectName(), QStringLiteral("TCusMain"));
        JOURNEY_CONTROL(add, QPushButton, form, "AddAcct");
        JOURNEY_CONTROL(applyButton, QPushButton, form, "Apply");
        const int printedBefore = fx->printedCount();

        clickOn(add);
        const QList<QPair<const char *, QString>> typed = {
            {"AccountField", QStringLiteral("200001")},        {"UserNoField", QStringLiteral("D001")},
            {"FirstNameField", QStringLiteral("WING HONG")},   {"FamilyNameField", QStringLiteral("LAU")},
            {"AccountNameField", QStringLiteral("LAU WING HONG")}, {"ChnNameField", QStringLiteral("LWH")},
            {"EMailField", QStringLiteral("lau@mail.hk")},     {"HomeTelField", QStringLiteral("23800211")},
            {"MobileField", QStringLiteral("91003571")},       {"DayTelField", QStringLiteral("25200137")},
        };
        for (const auto &[name, text] : typed) {
            auto *edit = form->findChild<QLineEdit *>(QString::fromLatin1(name));
            QVERIFY2(edit, name);
            edit->setFocus();
            QTest::keyClicks(edit, text);
        }
        clickOn(applyButton);
        QVERIFY2(fx->dialogs->entries.isEmpty(), qPrintable(fx->dialogs->lastText()));
        QVERIFY(!applyButton->isEnabled());

        const QList<QStringList> customer = TestDb::rows(
            fx->conn, QStringLiteral("SELECT Account, User_No, Account_Name, Active, Currency, DateTime_Created "
                                     "FROM customer_file WHERE Account = '200001'"));
        QCOMPARE(customer.size(), 1);
        QCOMPARE(customer[0].mid(0, 5), (QStringList{"200001", "D001", "LAU WING HONG", "1", "HKD"}));
        QCOMPARE(QDateTime::fromString(customer[0][5].left(19).replace(' ', 'T'), Qt::ISODate).date(),
                 QDate::currentDate());
        QCOMPARE(TestDb::rows(fx->conn, QStringLiteral("SELECT Account, Active, Currency FROM BOD_Customer_File "
                                                       "WHERE Account = '200001'")),
                 (QList<QStringList>{{"200001", "1", "HKD"}}));

        // One sheet, in the demo folder's printed pages, its texts in order.
        const QStringList printed = fx->printedSince(printedBefore);
        QCOMPARE(printed.size(), 1);
        QVERIFY(printed.first().startsWith(fx->path(QStringLiteral("printed"))));
        const QString text = PdfText::layout(printed.first());
        const QStringList expected{"CUSTOMER BASIC INFORMATION", "ACCOUNT NUMBER :", "200001", "AE CODE :", "D001",
                                   "CUSTOMER NAME :", "LAU WING HONG", "EMAIL :", "lau@mail.hk", "*** END ***"};
        qsizetype at = 0;
        for (const QString &piece : expected) {
            const qsizetype found = text.indexOf(piece, at);
            QVERIFY2(found >= 0, qPrintable(QStringLiteral("%1 missing in:\n%2").arg(piece, text)));
            at = found + piece.size();
        }
        // Creating a customer sends nothing to the risk manager.
        QCOMPARE(fx->riskRows(QStringLiteral("200001")), QStringList());
        QCOMPARE(fx->unconfirmedCount(), 0);
    }
};

VOX_TEST_MAIN(TestJourneyAdmin)
#include "tst_journeyadmin.moc"
