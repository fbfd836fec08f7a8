#include "UsersFixture.h"

#include "core/VoxError.h"
#include "db/RightsList.h"
#include "support/TestMain.h"
#include "support/Typing.h"
#include "widgets/ListAssignment.h"
#include "users/UserForm.h"
#include "users/UserRules.h"
#include "widgets/DBComboBox.h"
#include "widgets/DBEdit.h"
#include "widgets/DBGrid.h"
#include "widgets/DBNavigator.h"

#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>

// The user maintenance window and the rules of the user records, driven as
// an operator would, against a real database and a stand-in risk manager.
class TestUserForm : public QObject
{
    Q_OBJECT

    std::unique_ptr<UsersFixture> fx;
    TUserForm *form = nullptr;

    void press(DBNavigator::Button b)
    {
        QToolButton *button = form->wwDBNavigator1->button(b);
        QVERIFY2(button->isEnabled(), qPrintable(DBNavigator::buttonName(b)));
        QTest::mouseClick(button, Qt::LeftButton);
    }

    void pick(const QString &group, const QString &user)
    {
        const auto items = form->ListBox1->findItems(group, Qt::MatchExactly);
        QVERIFY(!items.isEmpty());
        form->ListBox1->setCurrentItem(items.first());
        QVERIFY(fx->data->User_File->locate(QStringLiteral("User_No"), user));
    }

    QString current(const char *field) { return fx->data->User_File->fieldByName(QString::fromLatin1(field))->asString(); }

    // Selects entries as clicks would, the first becoming the current one.
    static void choose(SortedListBox *box, const QStringList &entries)
    {
        box->selectEntries(entries);
        box->setCurrentRow(box->entries().indexOf(entries.first()), QItemSelectionModel::NoUpdate);
    }

private slots:
    void initTestCase_data() { VOX_DB_BACKENDS(); }

    void init()
    {
        VOX_FIXTURE_SET_UP(fx, UsersFixture);
        form = new TUserForm;
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form));
    }

    void cleanup()
    {
        if (form)
            form->close();
        form = nullptr;
        QTest::qWait(10);
        fx.reset();
    }

    void groupListFiltersTheUsers()
    {
        QCOMPARE(form->windowTitle(), QStringLiteral("User Profile"));
        QCOMPARE(form->ListBox1->currentItem()->text(), QStringLiteral("UNCLASSIFIED AE"));
        QCOMPARE(form->ListBox1->count(), 3);
        QCOMPARE(fx->data->User_File->recordCount(), 1);
        QCOMPARE(current("User_No"), QStringLiteral("U1"));
        QCOMPARE(form->wwDBGrid1->model()->rowCount(), 1);
        QCOMPARE(form->GroupField->findText(QStringLiteral("NO GROUP")), 2);
        form->ListBox1->setCurrentRow(0);
        QCOMPARE(fx->data->User_File->recordCount(), 3);
        QCOMPARE(current("User_No"), QStringLiteral("U2"));
        // The supervisor box follows the current user.
        QVERIFY(fx->data->User_File->locate(QStringLiteral("User_No"), QStringLiteral("U3")));
        QVERIFY(form->CheckBox3->isChecked());
        QVERIFY(fx->data->User_File->locate(QStringLiteral("User_No"), QStringLiteral("U4")));
        QVERIFY(!form->CheckBox3->isChecked());
    }

    void everyPostSendsBothRestrictionCommands()
    {
        fx->addRisk(QStringLiteral("U2"), QStringLiteral("XSUSPENDX"));
        fx->addRisk(QStringLiteral("U2"), QStringLiteral("SKIPSSELL"));
        fx->addRisk(QStringLiteral("U4"), QStringLiteral("suspend"));
        pick(QStringLiteral("G1"), QStringLiteral("U4"));
        QVERIFY(!form->CheckBox1->isChecked()); // lower case does not count
        pick(QStringLiteral("G1"), QStringLiteral("U2"));
        QVERIFY(form->CheckBox1->isChecked());
        QVERIFY(form->CheckBox10->isChecked());
        const QString hash = fx->userField(QStringLiteral("U2"), QStringLiteral("PasswordHash"));

        // Untouched password: the digest stays; both commands go out.
        press(DBNavigator::Edit);
        QTest::keyClicks(form->FullNameField, QStringLiteral("x"));
        form->CheckBox10->setChecked(false);
        press(DBNavigator::Post);
        QCOMPARE(fx->dialogs->entries.size(), 0);
        QCOMPARE(fx->riskman.take(2), (QStringList{QStringLiteral("set|SUSPEND||ORD|13|U2|"),
                                                   QStringLiteral("unset|SKIPSSELL||ORD|13|U2|")}));
        QCOMPARE(fx->userField(QStringLiteral("U2"), QStringLiteral("Full_Name")), QStringLiteral("NAME U2X"));
        QCOMPARE(fx->userField(QStringLiteral("U2"), QStringLiteral("PasswordHash")), hash);
        QCOMPARE(fx->userField(QStringLiteral("U2"), QStringLiteral("Entitlement")), QString());
        QCOMPARE(fx->userField(QStringLiteral("U2"), QStringLiteral("AdminUser")).toInt(), 0);
        QVERIFY(!form->UserIDField->isEnabled());
        // The boxes show what was just sent, not the table that the risk
        // manager has not caught up with.
        QVERIFY(form->CheckBox1->isChecked());
        QVERIFY(!form->CheckBox10->isChecked());

        // A new password must be typed twice.
        press(DBNavigator::Edit);
        retype(form->PasswordField, QStringLiteral("Neu"));
        press(DBNavigator::Post);
        QCOMPARE(fx->dialogs->lastText(), QStringLiteral("Incorrect password entry."));
        QCOMPARE(fx->data->User_File->state(), Dataset::Edit);
        QCOMPARE(fx->riskman.take(), QStringList());
        retype(form->PassWordFirmField, QStringLiteral("Neu"));
        press(DBNavigator::Post);
        QCOMPARE(fx->userField(QStringLiteral("U2"), QStringLiteral("User_Password")), QStringLiteral("Neu"));
        QCOMPARE(fx->userField(QStringLiteral("U2"), QStringLiteral("PasswordHash")), UsersFixture::sha1(QStringLiteral("Neu")));
        QCOMPARE(fx->riskman.take(2).size(), 2);

        // A stored AdminUser other than 9 is written back as 0; the box
        // makes a supervisor.
        TestDb::exec(fx->conn, QStringLiteral("UPDATE dbo.User_File SET AdminUser = 5 WHERE User_No = 'U4'"));
        fx->data->User_File->refresh();
        QVERIFY(fx->data->User_File->locate(QStringLiteral("User_No"), QStringLiteral("U4")));
        QVERIFY(!form->CheckBox3->isChecked());
        press(DBNavigator::Edit);
        press(DBNavigator::Post);
        QCOMPARE(fx->userField(QStringLiteral("U4"), QStringLiteral("AdminUser")).toInt(), 0);
        press(DBNavigator::Edit);
        form->CheckBox3->setChecked(true);
        press(DBNavigator::Post);
        QCOMPARE(fx->userField(QStringLiteral("U4"), QStringLiteral("AdminUser")).toInt(), 9);
        QCOMPARE(fx->riskman.take(4), (QStringList{QStringLiteral("unset|SUSPEND||ORD|13|U4|"),
                                                   QStringLiteral("unset|SKIPSSELL||ORD|13|U4|"),
                                                   QStringLiteral("unset|SUSPEND||ORD|13|U4|"),
                                                   QStringLiteral("unset|SKIPSSELL||ORD|13|U4|")}));
    }

    void newUsers()
    {
        // An existing number ends the insert.
        press(DBNavigator::Insert);
        QVERIFY(form->UserIDField->isEnabled());
        QTest::keyClicks(form->UserIDField, QStringLiteral("U2"));
        form->FullNameField->setFocus();
        QTRY_COMPARE(fx->dialogs->texts(QStringLiteral("error")), QStringList{QStringLiteral("Can not dulplicate entry a Exist UserID.")});
        QCOMPARE(fx->data->User_File->state(), Dataset::Browse);
        QVERIFY(!form->UserIDField->isEnabled());
        QCOMPARE(current("User_No"), QStringLiteral("U1"));

        // A new user with an empty password and "NO GROUP".
        press(DBNavigator::Insert);
        QCOMPARE(current("User_Group"), QString());
        QTest::keyClicks(form->UserIDField, QStringLiteral("N1"));
        form->FullNameField->setFocus();
        QTest::keyClicks(form->FullNameField, QStringLiteral("new dealer"));
        QTest::keyClicks(form->GroupField->lineEdit(), QStringLiteral("NO GROUP"));
        QCOMPARE(current("User_Group"), QStringLiteral("NO GROUP"));
        form->CheckBox1->setChecked(true);
        // Lists cannot be saved before the new user is posted.
        form->PageControl1->setCurrentIndex(1);
        choose(form->RightListBox, {form->RightListBox->item(0)->text()});
        QTest::mouseClick(form->BitBtn7, Qt::LeftButton);
        QCOMPARE(fx->dialogs->lastText(), QString::fromLatin1(TUserForm::PostNewUserFirst));
        form->PageControl1->setCurrentIndex(0);
        press(DBNavigator::Post);
        QCOMPARE(fx->userField(QStringLiteral("N1"), QStringLiteral("Full_Name")), QStringLiteral("NEW DEALER"));
        QCOMPARE(fx->userField(QStringLiteral("N1"), QStringLiteral("User_Group")), QString());
        QCOMPARE(fx->userField(QStringLiteral("N1"), QStringLiteral("PasswordHash")), UsersFixture::sha1(QString()));
        QCOMPARE(fx->riskman.take(2), (QStringList{QStringLiteral("set|SUSPEND||ORD|13|N1|"),
                                                   QStringLiteral("unset|SKIPSSELL||ORD|13|N1|")}));
        QCOMPARE(current("User_No"), QStringLiteral("N1"));

        // Cancelling an insert comes back to the record of the last post.
        QVERIFY(fx->data->User_File->locate(QStringLiteral("User_No"), QStringLiteral("U1")));
        press(DBNavigator::Insert);
        QTest::keyClicks(form->UserIDField, QStringLiteral("N2"));
        press(DBNavigator::Cancel);
        QCOMPARE(current("User_No"), QStringLiteral("N1"));
        QVERIFY(!form->UserIDField->isEnabled());
        QCOMPARE(TestDb::scalar(fx->conn, QStringLiteral("SELECT COUNT(*) FROM dbo.User_File WHERE User_No = 'N2'")).toInt(), 0);

        // A post without a user number names the label.
        press(DBNavigator::Insert);
        press(DBNavigator::Post);
        QCOMPARE(fx->dialogs->lastText(), QStringLiteral("Field 'User ID' must have a value"));
        QCOMPARE(fx->data->User_File->state(), Dataset::Insert);
        press(DBNavigator::Cancel);

        // Delete asks first; Cancel keeps the record.
        fx->dialogs->answer(false);
        press(DBNavigator::Delete);
        QCOMPARE(fx->dialogs->texts(QStringLiteral("confirm")), QStringList{QStringLiteral("Delete record?")});
        QCOMPARE(TestDb::scalar(fx->conn, QStringLiteral("SELECT COUNT(*) FROM dbo.User_File WHERE User_No = 'N1'")).toInt(), 1);
        fx->dialogs->answer(true);
        press(DBNavigator::Delete);
        QCOMPARE(TestDb::scalar(fx->conn, QStringLiteral("SELECT COUNT(*) FROM dbo.User_File WHERE User_No = 'N1'")).toInt(), 0);
        QCOMPARE(fx->riskman.take(), QStringList()); // deleting sends nothing
    }

    // A user written into a group the window does not list stays the one
    // shown, and the lists saved next belong to it, not to a neighbour.
    void aPostedUserOfAnotherGroupStaysShown()
    {
        pick(QStringLiteral("G1"), QStringLiteral("U2"));
        press(DBNavigator::Insert);
        QTest::keyClicks(form->UserIDField, QStringLiteral("N3"));
        form->FullNameField->setFocus();
        QTest::keyClicks(form->FullNameField, QStringLiteral("other group"));
        QTest::keyClicks(form->GroupField->lineEdit(), QStringLiteral("G2"));
        press(DBNavigator::Post);
        QCOMPARE(fx->userField(QStringLiteral("N3"), QStringLiteral("User_Group")), QStringLiteral("G2"));
        QCOMPARE(current("User_No"), QStringLiteral("N3"));
        QCOMPARE(form->ListBox1->currentItem()->text(), QStringLiteral("G2"));
        QCOMPARE(form->UserIDField->text(), QStringLiteral("N3"));

        form->PageControl1->setCurrentIndex(1);
        choose(form->RightListBox, {QStringLiteral("report")});
        QTest::mouseClick(form->BitBtn7, Qt::LeftButton);
        QVERIFY(fx->userField(QStringLiteral("N3"), QStringLiteral("Authority")).contains(QStringLiteral("report")));
        QVERIFY(!fx->userField(QStringLiteral("U2"), QStringLiteral("Authority")).contains(QStringLiteral("report")));
        form->PageControl1->setCurrentIndex(0);

        // And into no group: the users of no group are listed.
        press(DBNavigator::Insert);
        QTest::keyClicks(form->UserIDField, QStringLiteral("N4"));
        form->FullNameField->setFocus();
        QTest::keyClicks(form->GroupField->lineEdit(), QStringLiteral("NO GROUP"));
        press(DBNavigator::Post);
        QCOMPARE(current("User_No"), QStringLiteral("N4"));
        QCOMPARE(form->ListBox1->currentItem()->text(), QStringLiteral("UNCLASSIFIED AE"));
    }

    void listsAndPasswordsBelongToTheUserShown()
    {
        TestDb::exec(fx->conn, QStringLiteral("UPDATE dbo.User_File SET Member = ? WHERE User_No = 'U2'"),
                     {QStringLiteral("U3\r\nU4\r\n")});
        fx->data->User_File->refresh();
        // The member working list follows the user shown, not the first one.
        pick(QStringLiteral("G1"), QStringLiteral("U2"));
        form->PageControl1->setCurrentIndex(2);
        QCOMPARE(form->UserMemberListBox->entries(), (QStringList{QStringLiteral("U3"), QStringLiteral("U4")}));
        choose(form->UserMemberListBox, {QStringLiteral("U3")});
        QTest::mouseClick(form->BitBtn11, Qt::LeftButton);
        QCOMPARE(fx->userField(QStringLiteral("U2"), QStringLiteral("Member")), QStringLiteral("U4"));
        QCOMPARE(fx->riskman.take(2).size(), 2);
        form->PageControl1->setCurrentIndex(0);

        // However the post starts (here a move in the grid), a changed
        // password must be confirmed.
        press(DBNavigator::Edit);
        retype(form->PasswordField, QStringLiteral("other"));
        QVERIFY_THROWS_EXCEPTION(VoxError, fx->data->User_File->next());
        QCOMPARE(fx->data->User_File->state(), Dataset::Edit);
        QCOMPARE(fx->userField(QStringLiteral("U2"), QStringLiteral("User_Password")), QStringLiteral("pw2"));
        // A password typed and erased again is the empty password.
        retype(form->PasswordField, QStringLiteral("x"));
        form->PasswordField->selectAll();
        QTest::keyClick(form->PasswordField, Qt::Key_Backspace);
        form->PassWordFirmField->clear();
        press(DBNavigator::Post);
        QCOMPARE(fx->userField(QStringLiteral("U2"), QStringLiteral("PasswordHash")), UsersFixture::sha1(QString()));
        QCOMPARE(fx->riskman.take(2).size(), 2);

        // A refused post while choosing another group is reported once.
        press(DBNavigator::Insert);
        fx->dialogs->clear();
        const QRect g2 = form->ListBox1->visualItemRect(form->ListBox1->item(1));
        QTest::mouseClick(form->ListBox1->viewport(), Qt::LeftButton, {}, g2.center());
        QCOMPARE(fx->dialogs->texts(), QStringList{QStringLiteral("Field 'User ID' must have a value")});
        press(DBNavigator::Cancel);
    }

    void insertThenCancelLeftTheBoxesInTheNewRecordState()
    {
        fx->addRisk(QStringLiteral("U3"), QStringLiteral("SUSPEND"));
        pick(QStringLiteral("G1"), QStringLiteral("U3"));
        QVERIFY(form->CheckBox3->isChecked());
        QVERIFY(form->CheckBox1->isChecked());
        press(DBNavigator::Insert);
        QVERIFY(!form->CheckBox3->isChecked());
        QVERIFY(!form->CheckBox1->isChecked());
        press(DBNavigator::Cancel);
        QCOMPARE(current("User_No"), QStringLiteral("U3"));
        QVERIFY(form->CheckBox3->isChecked());
        QVERIFY(form->CheckBox1->isChecked());
        QVERIFY(!form->CheckBox10->isChecked());

        // A box ticked during an edit and then cancelled shows the record.
        press(DBNavigator::Edit);
        form->CheckBox10->setChecked(true);
        form->CheckBox3->setChecked(false);
        press(DBNavigator::Cancel);
        QVERIFY(form->CheckBox3->isChecked());
        QVERIFY(!form->CheckBox10->isChecked());

        // The next post keeps the supervisor and the suspension.
        press(DBNavigator::Edit);
        press(DBNavigator::Post);
        QCOMPARE(fx->userField(QStringLiteral("U3"), QStringLiteral("AdminUser")).toInt(), 9);
        QCOMPARE(fx->riskman.take(2), (QStringList{QStringLiteral("set|SUSPEND||ORD|13|U3|"),
                                                   QStringLiteral("unset|SKIPSSELL||ORD|13|U3|")}));
        QCOMPARE(fx->dialogs->entries.size(), 0);
    }

    void aPostReloadedTheBoxesFromATableNotYetUpToDate()
    {
        // The stand-in risk manager never writes riskman_file.
        pick(QStringLiteral("G1"), QStringLiteral("U2"));
        QVERIFY(!form->CheckBox1->isChecked());
        press(DBNavigator::Edit);
        form->CheckBox1->setChecked(true);
        press(DBNavigator::Post);
        QCOMPARE(fx->riskman.take(2), (QStringList{QStringLiteral("set|SUSPEND||ORD|13|U2|"),
                                                   QStringLiteral("unset|SKIPSSELL||ORD|13|U2|")}));
        QVERIFY(form->CheckBox1->isChecked());

        // A rights "Select" posts again: the suspension is not undone.
        form->PageControl1->setCurrentIndex(1);
        choose(form->RightListBox, {QStringLiteral("report")});
        QTest::mouseClick(form->BitBtn7, Qt::LeftButton);
        QCOMPARE(fx->riskman.take(2), (QStringList{QStringLiteral("set|SUSPEND||ORD|13|U2|"),
                                                   QStringLiteral("unset|SKIPSSELL||ORD|13|U2|")}));
        form->PageControl1->setCurrentIndex(0);
        QVERIFY(form->CheckBox1->isChecked());

        // Moving to another user and back reads the table again.
        QVERIFY(fx->data->User_File->locate(QStringLiteral("User_No"), QStringLiteral("U4")));
        QVERIFY(fx->data->User_File->locate(QStringLiteral("User_No"), QStringLiteral("U2")));
        QVERIFY(!form->CheckBox1->isChecked());
        fx->addRisk(QStringLiteral("U2"), QStringLiteral("SUSPEND"));
        QVERIFY(fx->data->User_File->locate(QStringLiteral("User_No"), QStringLiteral("U4")));
        QVERIFY(fx->data->User_File->locate(QStringLiteral("User_No"), QStringLiteral("U2")));
        QVERIFY(form->CheckBox1->isChecked());
        QCOMPARE(fx->dialogs->entries.size(), 0);
    }

    void confirmationWasShorterThanThePassword()
    {
        QCOMPARE(form->PasswordField->maxLength(), 10);
        QCOMPARE(form->PassWordFirmField->maxLength(), form->PasswordField->maxLength());
        pick(QStringLiteral("G1"), QStringLiteral("U2"));
        press(DBNavigator::Edit);
        retype(form->PasswordField, QStringLiteral("abcdefghijkl"));
        retype(form->PassWordFirmField, QStringLiteral("abcdefghijkl"));
        press(DBNavigator::Post);
        QCOMPARE(fx->dialogs->entries.size(), 0);
        QCOMPARE(fx->userField(QStringLiteral("U2"), QStringLiteral("User_Password")), QStringLiteral("abcdefghij"));
        QCOMPARE(fx->userField(QStringLiteral("U2"), QStringLiteral("PasswordHash")),
                 UsersFixture::sha1(QStringLiteral("abcdefghij")));
    }

    void userNumbersNoCommandCanCarryWereWritten_data()
    {
        QTest::addColumn<QString>("userNo");
        QTest::newRow("bar") << QStringLiteral("A|B");
        QTest::newRow("control") << QStringLiteral("A\tB");
        QTest::newRow("wide") << (QStringLiteral("A") + QChar(0x100));
    }

    void userNumbersNoCommandCanCarryWereWritten()
    {
        QFETCH(QString, userNo);
        press(DBNavigator::Insert);
        fx->data->User_File->fieldByName(QStringLiteral("User_No"))->setValue(userNo);
        fx->dialogs->clear();
        press(DBNavigator::Post);
        QCOMPARE(fx->dialogs->texts(), QStringList{QString::fromLatin1(UserRules::BadUserNumber)});
        QCOMPARE(fx->data->User_File->state(), Dataset::Insert);
        QCOMPARE(TestDb::scalar(fx->conn, QStringLiteral("SELECT COUNT(*) FROM dbo.User_File")).toInt(), 5);
        QCOMPARE(fx->riskman.take(), QStringList());
        press(DBNavigator::Cancel);
    }

    void passwordOutside8BitsWasHashedAsQuestionMark()
    {
        pick(QStringLiteral("G1"), QStringLiteral("U2"));
        press(DBNavigator::Edit);
        // Typed as an input method would: no key carries the character.
        const QString wide = QStringLiteral("pw") + QChar(0x20AC);
        for (QLineEdit *edit : {static_cast<QLineEdit *>(form->PasswordField), form->PassWordFirmField}) {
            edit->selectAll();
            edit->insert(wide);
        }
        QCOMPARE(current("User_Password"), wide);
        press(DBNavigator::Post);
        QCOMPARE(fx->dialogs->texts(), QStringList{QString::fromLatin1(UserRules::PasswordNot8Bit)});
        QCOMPARE(fx->data->User_File->state(), Dataset::Edit);
        QCOMPARE(fx->userField(QStringLiteral("U2"), QStringLiteral("User_Password")), QStringLiteral("pw2"));
        QCOMPARE(fx->riskman.take(), QStringList());
        // An 8-bit character outside ASCII is a password character.
        const QString latin = QStringLiteral("pw") + QChar(0xE9);
        for (QLineEdit *edit : {static_cast<QLineEdit *>(form->PasswordField), form->PassWordFirmField}) {
            edit->selectAll();
            edit->insert(latin);
        }
        press(DBNavigator::Post);
        QCOMPARE(fx->data->User_File->state(), Dataset::Browse);
        QCOMPARE(fx->riskman.take(2).size(), 2);
    }

    void typedTextsAreStoredAsShown_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        const auto l1 = [](const char *text) { return QString::fromLatin1(text); };
        QTest::newRow("name at the width") << "Full_Name" << l1("abcdefghij0123456789") << l1("ABCDEFGHIJ0123456789");
        QTest::newRow("name beyond the width") << "Full_Name" << l1("abcdefghij0123456789xyz")
                                               << l1("ABCDEFGHIJ0123456789");
        QTest::newRow("name with quotes") << "Full_Name" << l1("o'neil \"jr\"") << l1("O'NEIL \"JR\"");
        QTest::newRow("name 8-bit") << "Full_Name" << l1("\xe9l\xe8ve \xdf\xff\xb5") << l1("\xc9L\xc8VE \xdf\xff\xb5");
        QTest::newRow("OG id at the width") << "SEHK" << l1("AB1234") << l1("AB1234");
        QTest::newRow("OG id beyond the width") << "SEHK" << l1("AB12345") << l1("AB1234");
        QTest::newRow("dummy account, bar and quotes") << "DummyAc" << l1("A'B\"C|D;--") << l1("A'B\"C|D;--");
        QTest::newRow("password of 10, 8-bit") << "User_Password" << l1("p\xe9'\"|x\xff" "12") << l1("p\xe9'\"|x\xff" "12");
        QTest::newRow("password beyond 10") << "User_Password" << l1("0123456789ab") << l1("0123456789");
    }

    void typedTextsAreStoredAsShown()
    {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        pick(QStringLiteral("G1"), QStringLiteral("U2"));
        press(DBNavigator::Edit);
        const QHash<QString, QLineEdit *> edits{{"Full_Name", form->FullNameField},
                                                {"SEHK", form->OGIDField},
                                                {"DummyAc", form->DummyACField},
                                                {"User_Password", form->PasswordField}};
        retype(edits.value(field), typed);
        QCOMPARE(edits.value(field)->text(), stored);
        if (field == QLatin1String("User_Password"))
            retype(form->PassWordFirmField, typed);
        press(DBNavigator::Post);
        QVERIFY2(fx->dialogs->entries.isEmpty(), qPrintable(fx->dialogs->lastText()));
        QCOMPARE(fx->userField(QStringLiteral("U2"), field), stored);
        if (field == QLatin1String("User_Password"))
            QCOMPARE(fx->userField(QStringLiteral("U2"), QStringLiteral("PasswordHash")), UsersFixture::sha1(stored));
        QCOMPARE(fx->riskman.take(2).size(), 2);
    }

    void decliningTheDeleteQuestionShowedAnErrorReport()
    {
        fx->dialogs->answer(false);
        press(DBNavigator::Delete);
        QCOMPARE(fx->dialogs->texts(), QStringList{QStringLiteral("Delete record?")});
        QCOMPARE(fx->dialogs->texts(QStringLiteral("report")), QStringList());
        QCOMPARE(fx->data->User_File->state(), Dataset::Browse);
        QCOMPARE(TestDb::scalar(fx->conn, QStringLiteral("SELECT COUNT(*) FROM dbo.User_File")).toInt(), 5);
    }

    void rightsAndMemberLists()
    {
        pick(QStringLiteral("UNCLASSIFIED AE"), QStringLiteral("U1"));
        form->PageControl1->setCurrentIndex(1);
        QVERIFY(!form->ListBox1->isEnabled());
        QVERIFY(!form->wwDBNavigator1->isVisible());
        QCOMPARE(form->UserRightListBox->entries(), QStringList{QStringLiteral("Order Entry")});
        QCOMPARE(form->RightListBox->entries(),
                 (QStringList{QStringLiteral("Administrator"), QStringLiteral("Login Management"), QStringLiteral("report"),
                              QStringLiteral("Risk Management"), QStringLiteral("Trade Enquiry")}));

        choose(form->RightListBox, {QStringLiteral("report"), QStringLiteral("Risk Management"),
                                    QStringLiteral("Administrator")});
        QVERIFY(form->BitBtn7->isEnabled());
        QTest::mouseClick(form->BitBtn7, Qt::LeftButton);
        QCOMPARE(fx->userField(QStringLiteral("U1"), QStringLiteral("Authority")),
                 QStringLiteral("Administrator\r\nOrder Entry\r\nreport\r\nRisk Management"));
        QCOMPARE(form->RightListBox->entries(),
                 (QStringList{QStringLiteral("Login Management"), QStringLiteral("Trade Enquiry")}));
        // A list save is a post: both commands again.
        QCOMPARE(fx->riskman.take(2).size(), 2);

        choose(form->UserRightListBox, {QStringLiteral("report")});
        QTest::mouseClick(form->BitBtn8, Qt::LeftButton);
        QVERIFY(!form->UserRightListBox->contains(QStringLiteral("report")));
        QVERIFY(form->RightListBox->contains(QStringLiteral("report")));

        QTest::mouseClick(form->BitBtn2, Qt::LeftButton);
        QCOMPARE(fx->userField(QStringLiteral("U1"), QStringLiteral("Authority")), QString());
        QCOMPARE(form->RightListBox->count(), 6);
        QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
        QCOMPARE(linesOf(fx->data->User_File->fieldByName(QStringLiteral("Authority"))->asString()).size(), 6);
        QCOMPARE(form->RightListBox->count(), 0);
        QCOMPARE(fx->riskman.take(6).size(), 6);

        // Members: never the user himself.
        form->PageControl1->setCurrentIndex(2);
        QCOMPARE(form->MemberListBox->entries(),
                 (QStringList{QStringLiteral("U2"), QStringLiteral("U3"), QStringLiteral("U4"), QStringLiteral("U5")}));
        choose(form->MemberListBox, {QStringLiteral("U3"), QStringLiteral("U5")});
        QTest::mouseClick(form->BitBtn10, Qt::LeftButton);
        QCOMPARE(fx->userField(QStringLiteral("U1"), QStringLiteral("Member")), QStringLiteral("U3\r\nU5"));
        QTest::mouseClick(form->Button1, Qt::LeftButton);
        QCOMPARE(fx->userField(QStringLiteral("U1"), QStringLiteral("Member")), QString());
        QVERIFY(!form->MemberListBox->contains(QStringLiteral("U1")));
        QCOMPARE(form->MemberListBox->count(), 4);
        QCOMPARE(fx->dialogs->entries.size(), 0);
    }
};

VOX_TEST_MAIN(TestUserForm)
#include "tst_userform.moc"
