#include "UsersFixture.h"

#include "support/TestMain.h"
#include "users/GroupForm.h"
#include "widgets/ListAssignment.h"
#include "widgets/DBGrid.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>

// The group maintenance window, driven as an operator would, against a real
// database: G1 has the members U2, U3 (a supervisor) and U4, G2 has U5, G3
// has none, U1 belongs to no group.
class TestGroupForm : public QObject
{
    Q_OBJECT

    std::unique_ptr<UsersFixture> fx;
    QPointer<TGroupForm> form;

    static const QStringList AllRights;

    QString groupAuthority(const QString &group)
    {
        return TestDb::scalar(fx->conn, QStringLiteral("SELECT Authority FROM dbo.Group_File WHERE GroupID = ?"), {group})
            .toString();
    }

    QString userAuthority(const QString &user)
    {
        return TestDb::scalar(fx->conn, QStringLiteral("SELECT Authority FROM dbo.User_File WHERE User_No = ?"), {user})
            .toString();
    }

    // Every user record, every column the console keeps, in key order.
    QList<QStringList> users()
    {
        return TestDb::rows(fx->conn, QStringLiteral("SELECT User_No, User_Group, Authority, Member, User_Password, "
                                                     "PasswordHash, AdminUser, Entitlement, Full_Name "
                                                     "FROM dbo.User_File ORDER BY User_No"));
    }

    QString label(const char *name)
    {
        auto *l = form->findChild<QLabel *>(QString::fromLatin1(name));
        return l ? l->text() : QStringLiteral("<no label>");
    }

    static void choose(SortedListBox *box, const QStringList &entries)
    {
        box->selectEntries(entries);
        box->setCurrentRow(box->entries().indexOf(entries.first()), QItemSelectionModel::NoUpdate);
    }

    static QStringList without(QStringList all, const QStringList &taken)
    {
        for (const QString &t : taken)
            all.removeAll(t);
        return all;
    }

    void click(QPushButton *button) { QTest::mouseClick(button, Qt::LeftButton); }

    void clickGridRow(int row)
    {
        form->PageControl1->setCurrentIndex(0);
        QVERIFY(QTest::qWaitForWindowExposed(form->DBGrid1));
        const QRect cell = form->DBGrid1->visualRect(form->DBGrid1->model()->index(row, 0));
        QVERIFY(cell.isValid());
        QTest::mouseClick(form->DBGrid1->viewport(), Qt::LeftButton, {}, cell.center());
        form->PageControl1->setCurrentIndex(1);
    }

    QString currentGroup() { return fx->data->Group_File->fieldByName(QStringLiteral("GroupID"))->asString(); }

private slots:
    void initTestCase_data() { VOX_DB_BACKENDS(); }

    void init()
    {
        VOX_FIXTURE_SET_UP(fx, UsersFixture);
        TestDb::exec(fx->conn, QStringLiteral("UPDATE dbo.Group_File SET Authority = ? WHERE GroupID = 'G2'"),
                     {QStringLiteral("Risk Management\r\n")});
        TestDb::exec(fx->conn, QStringLiteral("INSERT INTO dbo.Group_File (GroupID, GroupName, Authority) VALUES (?, ?, ?)"),
                     {QStringLiteral("G3"), QStringLiteral("Empty Group"), QString::fromLatin1("")});
        form = new TGroupForm;
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form));
        form->PageControl1->setCurrentIndex(1);
    }

    void cleanup()
    {
        if (form)
            form->close();
        QTest::qWait(10);
        fx.reset();
    }

    void listsFollowTheCurrentGroup()
    {
        QCOMPARE(form->windowTitle(), QStringLiteral("Group Setup"));
        QCOMPARE(currentGroup(), QStringLiteral("G1"));
        QCOMPARE(label("GroupIDLabel"), QStringLiteral("G1"));
        QCOMPARE(label("GroupNameLabel"), QStringLiteral("Group G1"));
        QCOMPARE(form->UserRightListBox->entries(), (QStringList{QStringLiteral("Order Entry"), QStringLiteral("Trade Enquiry")}));
        // Sorted without regard to case.
        QCOMPARE(form->RightListBox->entries(),
                 (QStringList{QStringLiteral("Administrator"), QStringLiteral("Login Management"), QStringLiteral("report"),
                              QStringLiteral("Risk Management")}));
        QCOMPARE(*form->groupRightsWorkingList(), form->UserRightListBox->entries());

        // A click on a row of the grid.
        clickGridRow(1);
        QCOMPARE(currentGroup(), QStringLiteral("G2"));
        QCOMPARE(label("GroupIDLabel"), QStringLiteral("G2"));
        QCOMPARE(form->UserRightListBox->entries(), QStringList{QStringLiteral("Risk Management")});
        QCOMPARE(form->RightListBox->entries(), without(AllRights, {QStringLiteral("Risk Management")}));
        QCOMPARE(*form->groupRightsWorkingList(), QStringList{QStringLiteral("Risk Management")});

        // A move of the dataset: the group without rights offers them all.
        fx->data->Group_File->next();
        QCOMPARE(label("GroupNameLabel"), QStringLiteral("Empty Group"));
        QCOMPARE(form->UserRightListBox->entries(), QStringList());
        QCOMPARE(form->RightListBox->entries(), AllRights);
        QCOMPARE(*form->groupRightsWorkingList(), QStringList());

        // The keyboard in the grid.
        form->PageControl1->setCurrentIndex(0);
        form->DBGrid1->setFocus();
        QTest::keyClick(form->DBGrid1, Qt::Key_Up);
        QCOMPARE(currentGroup(), QStringLiteral("G2"));
        QCOMPARE(form->UserRightListBox->entries(), QStringList{QStringLiteral("Risk Management")});
        QCOMPARE(fx->dialogs->entries.size(), 0);
    }

    void selectAndDeleteSelected()
    {
        const auto before = users();
        choose(form->RightListBox, {QStringLiteral("report"), QStringLiteral("Administrator")});
        click(form->BitBtn7);
        QCOMPARE(groupAuthority(QStringLiteral("G1")),
                 QStringLiteral("Administrator\r\nOrder Entry\r\nreport\r\nTrade Enquiry\r\n"));
        QCOMPARE(form->RightListBox->entries(),
                 (QStringList{QStringLiteral("Login Management"), QStringLiteral("Risk Management")}));
        QCOMPARE(form->UserRightListBox->entries().size(), 4);
        QCOMPARE(currentGroup(), QStringLiteral("G1"));

        // The rights just added stay when others are taken away.
        choose(form->UserRightListBox, {QStringLiteral("Order Entry"), QStringLiteral("report")});
        click(form->BitBtn8);
        QCOMPARE(groupAuthority(QStringLiteral("G1")), QStringLiteral("Administrator\r\nTrade Enquiry\r\n"));
        QCOMPARE(form->UserRightListBox->entries(), (QStringList{QStringLiteral("Administrator"), QStringLiteral("Trade Enquiry")}));
        QCOMPARE(form->RightListBox->entries(),
                 (QStringList{QStringLiteral("Login Management"), QStringLiteral("Order Entry"), QStringLiteral("report"),
                              QStringLiteral("Risk Management")}));

        // On another group the lists and the save belong to that group.
        clickGridRow(1);
        choose(form->RightListBox, {QStringLiteral("Order Entry")});
        click(form->BitBtn7);
        QCOMPARE(groupAuthority(QStringLiteral("G2")), QStringLiteral("Order Entry\r\nRisk Management\r\n"));
        choose(form->UserRightListBox, {QStringLiteral("Risk Management")});
        click(form->BitBtn8);
        QCOMPARE(groupAuthority(QStringLiteral("G2")), QStringLiteral("Order Entry\r\n"));
        QCOMPARE(currentGroup(), QStringLiteral("G2"));
        QCOMPARE(groupAuthority(QStringLiteral("G1")), QStringLiteral("Administrator\r\nTrade Enquiry\r\n"));

        // Group rights are a template: no user record, no command.
        QCOMPARE(users(), before);
        QCOMPARE(fx->riskman.take(), QStringList());
        QCOMPARE(fx->dialogs->entries.size(), 0);
    }

    void selectAllAndDeleteAll()
    {
        const auto before = users();
        click(form->BitBtn1);
        QCOMPARE(groupAuthority(QStringLiteral("G1")),
                 QStringLiteral("Administrator\r\nLogin Management\r\nOrder Entry\r\nreport\r\nRisk Management\r\n"
                                "Trade Enquiry\r\n"));
        QCOMPARE(form->RightListBox->count(), 0);
        QCOMPARE(form->UserRightListBox->entries(), AllRights);

        click(form->BitBtn2);
        QCOMPARE(form->UserRightListBox->count(), 0);
        QCOMPARE(form->RightListBox->entries(), AllRights);
        // The empty list is stored as the empty text, not as a missing value.
        QCOMPARE(TestDb::scalar(fx->conn, QStringLiteral("SELECT COUNT(*) FROM dbo.Group_File "
                                                         "WHERE GroupID = 'G1' AND Authority = ''")).toInt(), 1);
        QCOMPARE(groupAuthority(QStringLiteral("G2")), QStringLiteral("Risk Management\r\n"));
        // The lists still match the stored group.
        clickGridRow(1);
        clickGridRow(0);
        QCOMPARE(form->UserRightListBox->count(), 0);
        QCOMPARE(*form->groupRightsWorkingList(), QStringList());
        QCOMPARE(users(), before);
        QCOMPARE(fx->riskman.take(), QStringList());
    }

    void applyToMembersAsksFirst()
    {
        const auto before = users();
        fx->dialogs->answer(false);
        click(form->Button1);
        QCOMPARE(fx->dialogs->texts(QStringLiteral("question")),
                 QStringList{QStringLiteral("This will override all the authority setting. Continue?")});
        QCOMPARE(users(), before);
        QVERIFY(fx->data->User_bak->isActive());
        QVERIFY(!form->MyUser_File->isActive());
        QCOMPARE(fx->dialogs->entries.size(), 1);
    }

    void applyCopiesTheTemplateToEveryMember()
    {
        // Near misses of the group id are other groups.
        fx->addUser(QStringLiteral("U6"), QStringLiteral("g1"), QStringLiteral("pw6"), QStringLiteral("report\r\n"));
        fx->addUser(QStringLiteral("U7"), QStringLiteral("G10"), QStringLiteral("pw7"), QStringLiteral("report\r\n"));
        TestDb::exec(fx->conn, QStringLiteral("UPDATE dbo.User_File SET Member = ? WHERE User_No = 'U3'"),
                     {QStringLiteral("U2\r\nU4\r\n")});
        choose(form->RightListBox, {QStringLiteral("report")});
        click(form->BitBtn7);
        const QString stored = groupAuthority(QStringLiteral("G1"));
        QCOMPARE(stored, QStringLiteral("Order Entry\r\nreport\r\nTrade Enquiry\r\n"));

        const auto before = users();
        click(form->Button1);
        QCOMPARE(fx->dialogs->texts(), QStringList{QStringLiteral("This will override all the authority setting. Continue?")});
        auto expected = before;
        for (QStringList &row : expected) {
            if (row.at(1) == QLatin1String("G1"))
                row[2] = stored;
        }
        QCOMPARE(users(), expected);
        for (const char *member : {"U2", "U3", "U4"})
            QCOMPARE(userAuthority(QString::fromLatin1(member)), stored);
        QCOMPARE(fx->userField(QStringLiteral("U3"), QStringLiteral("AdminUser")).toInt(), 9);
        QCOMPARE(fx->userField(QStringLiteral("U3"), QStringLiteral("Member")), QStringLiteral("U2\r\nU4"));
        QCOMPARE(fx->userField(QStringLiteral("U2"), QStringLiteral("PasswordHash")), UsersFixture::sha1(QStringLiteral("pw2")));
        QCOMPARE(fx->userField(QStringLiteral("U4"), QStringLiteral("Entitlement")), QStringLiteral("E1"));
        QCOMPARE(userAuthority(QStringLiteral("U1")), QStringLiteral("Order Entry\r\n"));
        QCOMPARE(userAuthority(QStringLiteral("U5")), QString());
        QCOMPARE(userAuthority(QStringLiteral("U6")), QStringLiteral("report\r\n"));
        QCOMPARE(fx->riskman.take(), QStringList());
        QVERIFY(!fx->data->User_bak->isActive());
        QVERIFY(form->MyUser_File->isActive());

        // A second apply reads the members again: a user who joined the
        // group meanwhile, and a member changed elsewhere, take the template.
        fx->addUser(QStringLiteral("U8"), QStringLiteral("G1"), QStringLiteral("pw8"), QStringLiteral("Administrator\r\n"));
        TestDb::exec(fx->conn, QStringLiteral("UPDATE dbo.User_File SET Authority = ? WHERE User_No = 'U2'"),
                     {QStringLiteral("Administrator\r\n")});
        TestDb::exec(fx->conn, QStringLiteral("UPDATE dbo.User_File SET User_Group = 'G2' WHERE User_No = 'U4'"));
        const QString u4 = userAuthority(QStringLiteral("U4"));
        click(form->Button1);
        QCOMPARE(userAuthority(QStringLiteral("U8")), stored);
        QCOMPARE(userAuthority(QStringLiteral("U2")), stored);
        QCOMPARE(userAuthority(QStringLiteral("U4")), u4);
        QCOMPARE(fx->riskman.take(), QStringList());
        QCOMPARE(fx->dialogs->texts(QStringLiteral("report")), QStringList());
    }

    void applyInterruptedLeftTheGroupHalfApplied()
    {
        // The database refuses the write of U3, the middle member.
        if (fx->conn.contains(QLatin1String("SQLite"), Qt::CaseInsensitive)) {
            TestDb::exec(fx->conn, QStringLiteral("CREATE TRIGGER refuse_u3 BEFORE UPDATE ON User_File "
                                                  "WHEN OLD.User_No = 'U3' BEGIN SELECT RAISE(ABORT, 'U3 refused'); END"));
        } else {
            TestDb::exec(fx->conn, QStringLiteral("CREATE FUNCTION dbo.refuse_u3() RETURNS trigger LANGUAGE plpgsql AS "
                                                  "$$ BEGIN IF OLD.User_No = 'U3' THEN RAISE EXCEPTION 'U3 refused'; "
                                                  "END IF; RETURN NEW; END $$"));
            TestDb::exec(fx->conn, QStringLiteral("CREATE TRIGGER refuse_u3 BEFORE UPDATE ON dbo.User_File "
                                                  "FOR EACH ROW EXECUTE FUNCTION dbo.refuse_u3()"));
        }
        choose(form->RightListBox, {QStringLiteral("report")});
        click(form->BitBtn7);
        const QString stored = groupAuthority(QStringLiteral("G1"));
        const auto before = users();
        fx->dialogs->clear();
        click(form->Button1);
        // All members or none: none, and the database's message is shown.
        QCOMPARE(users(), before);
        QCOMPARE(fx->dialogs->texts(QStringLiteral("report")).size(), 1);
        QVERIFY(fx->dialogs->texts(QStringLiteral("report")).first().contains(QLatin1String("U3 refused")));

        // Once the database takes the writes, every member is written.
        TestDb::exec(fx->conn, QStringLiteral("DROP TRIGGER refuse_u3%1")
                                   .arg(fx->conn.contains(QLatin1String("SQLite"), Qt::CaseInsensitive)
                                            ? QString()
                                            : QStringLiteral(" ON dbo.User_File")));
        fx->dialogs->clear();
        click(form->Button1);
        QCOMPARE(fx->dialogs->texts(QStringLiteral("report")), QStringList());
        for (const char *member : {"U2", "U3", "U4"})
            QCOMPARE(userAuthority(QString::fromLatin1(member)), stored);
        QCOMPARE(fx->riskman.take(), QStringList());
    }

    void applyToAGroupWithoutMembersWritesNothing()
    {
        fx->data->Group_File->last();
        QCOMPARE(currentGroup(), QStringLiteral("G3"));
        const auto before = users();
        click(form->Button1);
        QCOMPARE(fx->dialogs->texts(QStringLiteral("question")).size(), 1);
        QCOMPARE(users(), before);
        QCOMPARE(fx->riskman.take(), QStringList());
    }

    void withoutACurrentGroupNothingIsApplied()
    {
        // A second group window closed: the first keeps its datasets.
        auto *second = new TGroupForm;
        second->show();
        second->close();
        QTest::qWait(10);
        QVERIFY(fx->data->Group_File->isActive());
        // No groups at all: users without a group must not be matched.
        TestDb::exec(fx->conn, QStringLiteral("DELETE FROM dbo.Group_File"));
        fx->data->Group_File->close();
        fx->data->Group_File->open();
        const auto before = users();
        click(form->Button1);
        click(form->BitBtn2);
        QCOMPARE(users(), before);
        QCOMPARE(fx->riskman.take(), QStringList());
    }

    void closingReleasesTheDatasets()
    {
        QVERIFY(fx->data->Group_File->isActive());
        QVERIFY(fx->data->User_bak->isActive());
        form->close();
        QVERIFY(!fx->data->Group_File->isActive());
        QVERIFY(!fx->data->User_bak->isActive());
        QTRY_VERIFY(form.isNull());
        // The rule of the shared dataset outlives the window harmlessly.
        fx->data->Group_File->open();
        fx->data->Group_File->next();
        QCOMPARE(fx->dialogs->entries.size(), 0);
    }
};

const QStringList TestGroupForm::AllRights = {
    QStringLiteral("Administrator"), QStringLiteral("Login Management"), QStringLiteral("Order Entry"),
    QStringLiteral("report"),        QStringLiteral("Risk Management"),  QStringLiteral("Trade Enquiry")};

VOX_TEST_MAIN(TestGroupForm)
#include "tst_groupform.moc"
