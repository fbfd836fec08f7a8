#include "core/VoxError.h"
#include "db/DbConnection.h"
#include "db/Schema.h"
#include "db/TableView.h"
#include "support/FakeDialogs.h"
#include "support/TestDb.h"
#include "support/TestMain.h"
#include "support/Typing.h"
#include "widgets/DBCheckBox.h"
#include "widgets/DBComboBox.h"
#include "widgets/DBEdit.h"
#include "widgets/DBGrid.h"
#include "widgets/DBNavigator.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
QString s(const char *text)
{
    return QString::fromLatin1(text);
}
} // namespace

// The data-aware controls against a real SQLite database, driven by mouse
// and keyboard as the operator drives them.
class TestDbWidgets : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_conn;
    std::unique_ptr<DbConnection> m_db;
    std::unique_ptr<TableView> m_users;
    std::unique_ptr<FakeDialogs> m_dialogs;
    int m_dbSerial = 0;

    // A fresh database with n users U0000.. (U0000 a supervisor, odd ones
    // in group G1) and User_File open on it.
    TableView &openUsers(int n)
    {
        m_users.reset();
        m_db.reset();
        m_conn = TestDb::freshSqlite(m_dir.path(), QStringLiteral("w%1.db").arg(++m_dbSerial));
        if (n > 0)
            TestDb::exec(m_conn, QStringLiteral(
                "INSERT INTO dbo.User_File (User_No, Full_Name, User_Group, AdminUser) "
                "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i + 1 < %1) "
                "SELECT printf('U%04d', i), 'NAME ' || i, CASE WHEN i % 2 = 1 THEN 'G1' ELSE '' END, "
                "CASE WHEN i = 0 THEN 9 ELSE 0 END FROM n").arg(n));
        m_db = std::make_unique<DbConnection>();
        m_db->setParams(m_conn, {}, {});
        m_users = std::make_unique<TableView>(s("User_File"), m_db.get());
        m_users->setTableName(s("dbo.User_File"));
        m_users->setOrderBy(s("User_No"));
        m_users->setFieldDefs(Schema::table(s("User_File"))->columns);
        m_users->open();
        return *m_users;
    }

    QString stored(const QString &userNo, const char *column)
    {
        return TestDb::scalar(m_conn, QStringLiteral("SELECT %1 FROM dbo.User_File WHERE User_No = ?").arg(s(column)),
                              {userNo})
            .toString()
            .trimmed();
    }

    static void click(DBNavigator &nav, DBNavigator::Button b)
    {
        QTest::mouseClick(nav.button(b), Qt::LeftButton);
    }

    static void clickRow(DBGrid &grid, int row)
    {
        const QRect r = grid.visualRect(grid.datasetModel()->index(row, 0));
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, r.center());
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void init() { m_dialogs = std::make_unique<FakeDialogs>(); }
    void cleanup()
    {
        m_users.reset();
        m_db.reset();
        m_dialogs.reset();
    }

    void editTypesIntoTheRecordAndNavigatorPostsIt()
    {
        TableView &users = openUsers(3);
        QWidget window;
        auto *name = new DBEdit(&users, s("Full_Name"), &window);
        name->setCharCase(DBEdit::Upper);
        auto *nav = new DBNavigator(&window);
        nav->setDataset(&users);
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(name);
        layout->addWidget(nav);
        window.show();

        QCOMPARE(name->text(), s("NAME 0"));
        QCOMPARE(name->maxLength(), 20);
        QCOMPARE(name->accessibleName(), s("Full Name"));
        QVERIFY(!name->isReadOnly());

        name->setFocus();
        name->end(false);
        QTest::keyClicks(name, s("ab"));
        QCOMPARE(users.state(), Dataset::Edit);
        QCOMPARE(name->text(), s("NAME 0AB"));
        QCOMPARE(users[s("Full_Name")]->asString(), s("NAME 0AB"));
        QVERIFY(nav->button(DBNavigator::Post)->isEnabled());
        QVERIFY(!nav->button(DBNavigator::Next)->isEnabled());

        // Post with the focus still in the edit writes what is on screen.
        click(*nav, DBNavigator::Post);
        QCOMPARE(users.state(), Dataset::Browse);
        QCOMPARE(stored(s("U0000"), "Full_Name"), s("NAME 0AB"));
        QVERIFY(m_dialogs->entries.isEmpty());

        // The edit follows the current record, and Cancel undoes typing.
        click(*nav, DBNavigator::Next);
        QCOMPARE(name->text(), s("NAME 1"));
        QTest::keyClicks(name, s("z"));
        click(*nav, DBNavigator::Cancel);
        QCOMPARE(users.state(), Dataset::Browse);
        QCOMPARE(name->text(), s("NAME 1"));
        QCOMPARE(stored(s("U0001"), "Full_Name"), s("NAME 1"));

        // Nothing typed into a read-only dataset's edit reaches it.
        users.close();
        QVERIFY(name->text().isEmpty());
        users.setReadOnly(true);
        users.open();
        QVERIFY(name->isReadOnly());
        QVERIFY(!nav->button(DBNavigator::Edit)->isEnabled());
        QTest::keyClicks(name, s("q"));
        QCOMPARE(users.state(), Dataset::Browse);
    }

    void typedTextIsStoredAsShownAtAndBeyondTheWidth_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        QTest::newRow("at the width") << s("abcdefghijklmnopqrst") << s("ABCDEFGHIJKLMNOPQRST");
        QTest::newRow("beyond the width") << s("abcdefghijklmnopqrstuvwxy") << s("ABCDEFGHIJKLMNOPQRST");
        QTest::newRow("quotes and bar") << s("o'neil \"x\" | y") << s("O'NEIL \"X\" | Y");
        // Letters without an 8-bit capital stay as typed: "ß" does not
        // become "SS", nor "ÿ" a character outside the 8-bit set.
        QTest::newRow("8-bit") << s("\xdf\xff\xb5\xe9\xa0\xf7") << s("\xdf\xff\xb5\xc9\xa0\xf7");
        QTest::newRow("sharp s at the width") << s("abcdefghijklmnopqrs\xdf") << s("ABCDEFGHIJKLMNOPQRS\xdf");
    }

    void typedTextIsStoredAsShownAtAndBeyondTheWidth()
    {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        TableView &users = openUsers(1);
        DBEdit name(&users, s("Full_Name"));
        name.setCharCase(DBEdit::Upper);
        name.show();
        name.setFocus();
        name.selectAll();
        QTest::keyClick(&name, Qt::Key_Backspace);
        typeKeys(&name, typed);
        QCOMPARE(name.text(), stored);
        users.post();
        QCOMPARE(TestDb::scalar(m_conn, s("SELECT Full_Name FROM dbo.User_File")).toString(), stored);
    }

    void numberAndPasswordEdits()
    {
        TableView &users = openUsers(2);
        DBEdit limit(&users, s("TradeLimit"));
        DBEdit password(&users, s("User_Password"));
        password.setPasswordMode(true);
        QCOMPARE(password.echoMode(), QLineEdit::Password);
        QCOMPARE(password.maxLength(), 10);
        limit.show();
        limit.setFocus();
        QTest::keyClicks(&limit, s("-"));
        // A sign alone is not yet a number: editing starts, nothing written.
        QCOMPARE(users.state(), Dataset::Edit);
        QVERIFY(users[s("TradeLimit")]->isNull());
        QTest::keyClicks(&limit, s("12.5"));
        QCOMPARE(users[s("TradeLimit")]->asFloat(), -12.5);
        users.post();
        QCOMPARE(TestDb::scalar(m_conn, s("SELECT TradeLimit FROM dbo.User_File WHERE User_No = 'U0000'")).toDouble(),
                 -12.5);
    }

    void windowStepRunsFirstAndCanStopTheAction()
    {
        TableView &users = openUsers(3);
        QWidget window;
        auto *name = new DBEdit(&users, s("Full_Name"), &window);
        auto *nav = new DBNavigator(&window);
        nav->setDataset(&users);
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(name);
        layout->addWidget(nav);
        window.show();

        QStringList log;
        bool refuse = true;
        nav->setBeforeAction(DBNavigator::Post, [&] {
            log << s("step:") + users[s("Full_Name")]->asString();
            if (refuse)
                throw VoxError(s("Incorrect password entry."));
        });
        QTest::keyClicks(name, s("X"));

        // A refused step: reported at the top level, the record stays in
        // editing and nothing is written.
        click(*nav, DBNavigator::Post);
        QCOMPARE(log, QStringList{s("step:NAME 0X")});
        QCOMPARE(m_dialogs->texts(s("report")), QStringList{s("Incorrect password entry.")});
        QCOMPARE(users.state(), Dataset::Edit);
        QCOMPARE(stored(s("U0000"), "Full_Name"), s("NAME 0"));
        QVERIFY(nav->button(DBNavigator::Post)->isEnabled());

        refuse = false;
        click(*nav, DBNavigator::Post);
        QCOMPARE(users.state(), Dataset::Browse);
        QCOMPARE(stored(s("U0000"), "Full_Name"), s("NAME 0X"));

        // The window's Delete step asks; Cancel keeps the record quietly.
        nav->setBeforeActionGuard(DBNavigator::Delete,
                                  [] { return Dialogs::instance().confirm(s("Delete record?")); });
        m_dialogs->clear();
        m_dialogs->answer(false);
        click(*nav, DBNavigator::Delete);
        QCOMPARE(m_dialogs->texts(), QStringList{s("Delete record?")});
        QCOMPARE(TestDb::scalar(m_conn, s("SELECT COUNT(*) FROM dbo.User_File")).toInt(), 3);
        m_dialogs->answer(true);
        click(*nav, DBNavigator::Delete);
        QCOMPARE(TestDb::scalar(m_conn, s("SELECT COUNT(*) FROM dbo.User_File")).toInt(), 2);
        QCOMPARE(name->text(), s("NAME 1"));
    }

    void navigatorButtonsMoveAndFollowTheState()
    {
        TableView &users = openUsers(25);
        DBNavigator nav;
        nav.setDataset(&users);
        const QStringList names{s("First"), s("Previous10"), s("Prior"), s("Next"), s("Next10"), s("Last"),
                                s("Insert"), s("Delete"), s("Edit"), s("Post"), s("Cancel")};
        for (int i = 0; i < DBNavigator::ButtonCount; ++i) {
            auto *b = nav.findChild<QToolButton *>(names.at(i));
            QVERIFY(b);
            QCOMPARE(b, nav.button(DBNavigator::Button(i)));
            QCOMPARE(b->accessibleName(), b->toolTip());
        }
        QCOMPARE(nav.button(DBNavigator::Previous10)->toolTip(), s("Move backward 10 records"));
        QCOMPARE(nav.button(DBNavigator::Cancel)->toolTip(), s("Cancel changes made to current record"));
        nav.show();

        // At the first record nothing moves back; no edit to post.
        QVERIFY(!nav.button(DBNavigator::First)->isEnabled());
        QVERIFY(!nav.button(DBNavigator::Previous10)->isEnabled());
        QVERIFY(nav.button(DBNavigator::Next10)->isEnabled());
        QVERIFY(!nav.button(DBNavigator::Post)->isEnabled());
        QVERIFY(!nav.button(DBNavigator::Cancel)->isEnabled());

        click(nav, DBNavigator::Next10);
        QCOMPARE(users.currentIndex(), 10);
        click(nav, DBNavigator::Next10);
        click(nav, DBNavigator::Next10); // stops at the last record
        QCOMPARE(users.currentIndex(), 24);
        QVERIFY(!nav.button(DBNavigator::Next)->isEnabled());
        click(nav, DBNavigator::Previous10);
        QCOMPARE(users.currentIndex(), 14);
        click(nav, DBNavigator::Prior);
        QCOMPARE(users[s("User_No")]->asString(), s("U0013"));
        click(nav, DBNavigator::First);
        QCOMPARE(users.currentIndex(), 0);
        click(nav, DBNavigator::Last);
        QCOMPARE(users.currentIndex(), 24);

        click(nav, DBNavigator::Edit);
        QCOMPARE(users.state(), Dataset::Edit);
        QVERIFY(!nav.button(DBNavigator::First)->isEnabled());
        QVERIFY(!nav.button(DBNavigator::Insert)->isEnabled());
        QVERIFY(nav.button(DBNavigator::Cancel)->isEnabled());
        click(nav, DBNavigator::Cancel);
        QCOMPARE(users.state(), Dataset::Browse);
    }

    void requiredFieldRefusalFocusesItsEdit()
    {
        TableView &users = openUsers(2);
        QWidget window;
        auto *userNo = new DBEdit(&users, s("User_No"), &window);
        auto *name = new DBEdit(&users, s("Full_Name"), &window);
        auto *nav = new DBNavigator(&window);
        nav->setDataset(&users);
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(userNo);
        layout->addWidget(name);
        layout->addWidget(nav);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));

        click(*nav, DBNavigator::Insert);
        QCOMPARE(users.state(), Dataset::Insert);
        QVERIFY(userNo->text().isEmpty());
        name->setFocus();
        QTest::keyClicks(name, s("NEW USER"));
        click(*nav, DBNavigator::Post);
        QCOMPARE(m_dialogs->texts(s("report")), QStringList{s("Field 'User ID' must have a value")});
        QCOMPARE(users.state(), Dataset::Insert);
        QTRY_VERIFY(userNo->hasFocus());

        QTest::keyClicks(userNo, s("U0100"));
        click(*nav, DBNavigator::Post);
        QCOMPARE(stored(s("U0100"), "Full_Name"), s("NEW USER"));
    }

    void requiredTextTypedAndErasedIsStillMissing()
    {
        TableView &users = openUsers(1);
        QWidget window;
        auto *userNo = new DBEdit(&users, s("User_No"), &window);
        auto *nav = new DBNavigator(&window);
        nav->setDataset(&users);
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(userNo);
        layout->addWidget(nav);
        window.show();

        click(*nav, DBNavigator::Insert);
        QTest::keyClicks(userNo, s("U9"));
        QCOMPARE(users.fieldByName(s("User_No"))->asString(), s("U9"));
        QTest::keyClick(userNo, Qt::Key_Backspace);
        QTest::keyClick(userNo, Qt::Key_Backspace);
        QVERIFY(userNo->text().isEmpty());
        click(*nav, DBNavigator::Post);
        QCOMPARE(m_dialogs->texts(s("report")), QStringList{s("Field 'User ID' must have a value")});
        QCOMPARE(users.state(), Dataset::Insert);
        QCOMPARE(TestDb::scalar(m_conn, s("SELECT COUNT(*) FROM dbo.User_File")).toInt(), 1);
    }

    void calculatedFieldCannotBeChangedThroughBoundControls()
    {
        openUsers(2);
        TableView users(s("User_File"), m_db.get());
        users.setTableName(s("dbo.User_File"));
        users.setOrderBy(s("User_No"));
        users.setFieldDefs(Schema::table(s("User_File"))->columns);
        users.addCalculatedField(s("isadmin"), FieldType::Boolean);
        users.onCalcFields = [](Dataset &d) {
            d.fieldByName(s("isadmin"))->setValue(d.fieldByName(s("AdminUser"))->asInteger() == 9);
        };
        QWidget window;
        auto *edit = new DBEdit(&users, s("isadmin"), &window);
        auto *combo = new DBComboBox(&users, s("isadmin"), &window);
        auto *box = new DBCheckBox(s("Admin"), &window);
        box->setDataField(&users, s("isadmin"));
        box->setValueChecked(true);
        box->setValueUnchecked(false);
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(edit);
        layout->addWidget(combo);
        layout->addWidget(box);
        window.show();
        users.open();
        QVERIFY(box->isChecked());
        const QString shown = edit->text();

        QVERIFY(edit->isReadOnly());
        QTest::keyClicks(edit, s("False"));
        QTest::keyClicks(combo->lineEdit(), s("False"));
        QTest::mouseClick(box, Qt::LeftButton);
        QCOMPARE(users.state(), Dataset::Browse);
        QCOMPARE(users.fieldByName(s("isadmin"))->asBoolean(), true);
        QCOMPARE(edit->text(), shown);
        QVERIFY(box->isChecked());
        // Even while the record is edited through another field.
        users.edit();
        QTest::keyClicks(edit, s("False"));
        QTest::mouseClick(box, Qt::LeftButton);
        QCOMPARE(users.fieldByName(s("isadmin"))->asBoolean(), true);
        QVERIFY(!users.isModified());
        QVERIFY(m_dialogs->texts(s("report")).isEmpty());
    }

    void gridReadsRowsAsItScrolls()
    {
        TableView &users = openUsers(2000);
        DBGrid grid;
        grid.addColumn(s("User_No"), s("User ID"));
        grid.addColumn(s("Full_Name"), s("Full Name"));
        grid.setDataset(&users);
        grid.resize(400, 300);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        QCoreApplication::processEvents();

        const int first = grid.model()->rowCount();
        QVERIFY2(first > 0 && first < 2000, qPrintable(QString::number(first)));
        QVERIFY(!users.allLoaded());
        QCOMPARE(grid.model()->headerData(1, Qt::Horizontal).toString(), s("Full Name"));
        QCOMPARE(grid.model()->index(first - 1, 0).data().toString(), QStringLiteral("U%1").arg(first - 1, 4, 10, QLatin1Char('0')));

        // Scrolling to the end of what was read reads the next block.
        grid.scrollToBottom();
        QTRY_VERIFY(grid.model()->rowCount() > first);
        QVERIFY(grid.model()->rowCount() < 2000);

        // Moving the dataset far ahead: the grid takes the rows and follows.
        users.moveBy(1500);
        QCOMPARE(grid.model()->rowCount(), users.loadedCount());
        QCOMPARE(grid.currentIndex().row(), 1500);
        QVERIFY(grid.selectionModel()->isRowSelected(1500, {}));
    }

    void gridMovesPastTheRowsReadThroughTheDataset()
    {
        TableView &users = openUsers(2000);
        DBGrid grid;
        grid.addColumn(s("User_No"));
        grid.setDataset(&users);
        grid.resize(400, 300);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        auto current = [&] { return users.fieldByName(s("User_No"))->asString(); };

        // A search on the key reads from the found row on: the grid starts
        // there, and Up reads the rows before it.
        QVERIFY(users.locate(s("User_No"), s("U1500")));
        QCoreApplication::processEvents();
        QVERIFY(grid.model()->rowCount() < 1500);
        QCOMPARE(grid.model()->index(grid.currentIndex().row(), 0).data().toString(), s("U1500"));
        grid.setFocus();
        QTest::keyClick(&grid, Qt::Key_Up);
        QCOMPARE(current(), s("U1499"));
        QCOMPARE(grid.model()->index(grid.currentIndex().row(), 0).data().toString(), s("U1499"));
        QTest::keyClick(&grid, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(current(), s("U1999"));
        QTest::keyClick(&grid, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(current(), s("U0000"));
        QCOMPARE(grid.currentIndex().row(), 0);
    }

    void gridFollowsTheRecordAndClicksMoveIt()
    {
        TableView &users = openUsers(30);
        QWidget window;
        auto *grid = new DBGrid(&window);
        grid->addColumn(s("User_No"));
        grid->addColumn(s("Full_Name"));
        grid->setDataset(&users);
        auto *name = new DBEdit(&users, s("Full_Name"), &window);
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(grid);
        layout->addWidget(name);
        window.resize(400, 500);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QCOMPARE(grid->model()->headerData(0, Qt::Horizontal).toString(), s("User ID"));
        QCOMPARE(grid->accessibleName(), s("User_File"));
        users.moveBy(5);
        QCOMPARE(grid->currentIndex().row(), 5);

        QSignalSpy clicks(grid, &DBGrid::cellClicked);
        clickRow(*grid, 2);
        QCOMPARE(users.currentIndex(), 2);
        QCOMPARE(name->text(), s("NAME 2"));
        QCOMPARE(clicks.count(), 1);

        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Down);
        QCOMPARE(users[s("User_No")]->asString(), s("U0003"));
        QCOMPARE(grid->currentIndex().row(), 3);

        // Typing shows in the grid; clicking another row posts the edit.
        QTest::keyClicks(name, s("Q"));
        QCOMPARE(grid->model()->index(3, 1).data().toString(), s("NAME 3Q"));
        clickRow(*grid, 1);
        QCOMPARE(users.state(), Dataset::Browse);
        QCOMPARE(users.currentIndex(), 1);
        QCOMPARE(stored(s("U0003"), "Full_Name"), s("NAME 3Q"));
        QCOMPARE(clicks.count(), 2);
        QCOMPARE(grid->currentIndex().row(), 1);

        // A refused post keeps the grid on the record being edited.
        users.beforePost = [](Dataset &) { throw VoxError(s("refused")); };
        QTest::keyClicks(name, s("W"));
        clickRow(*grid, 6);
        QCOMPARE(m_dialogs->texts(s("report")), QStringList{s("refused")});
        QCOMPARE(users.state(), Dataset::Edit);
        QCOMPARE(users.currentIndex(), 1);
        QCOMPARE(grid->currentIndex().row(), 1);
        users.beforePost = nullptr;
        users.cancel();

        // A record being inserted shows as a row of its own in its place.
        users.setCurrentIndex(4);
        const int rows = grid->model()->rowCount();
        users.insert();
        QCOMPARE(grid->model()->rowCount(), rows + 1);
        QCOMPARE(grid->currentIndex().row(), 4);
        users[s("User_No")]->setValue(s("A0001"));
        QCOMPARE(grid->model()->index(4, 0).data().toString(), s("A0001"));
        QCOMPARE(grid->model()->index(5, 0).data().toString(), s("U0004"));
        QCOMPARE(grid->model()->index(6, 0).data().toString(), s("U0005"));
        QCOMPARE(grid->model()->index(3, 0).data().toString(), s("U0003"));
        // Clicking another row posts the new record first.
        clickRow(*grid, 6);
        QCOMPARE(users.state(), Dataset::Browse);
        QCOMPARE(users[s("User_No")]->asString(), s("U0005"));
        QCOMPARE(grid->model()->rowCount(), rows + 1);
        QCOMPARE(stored(s("A0001"), "User_No"), s("A0001"));
    }

    void checkBoxColumnAndBoundControls()
    {
        TableView &users = openUsers(3);
        DBGrid grid;
        grid.addColumn(s("User_No"));
        grid.addCheckBoxColumn(s("AdminUser"), s("As a Supervisor"), 9);
        grid.setDataset(&users);
        const QAbstractItemModel *m = grid.model();
        QCOMPARE(m->index(0, 1).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
        QCOMPARE(m->index(1, 1).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
        QVERIFY(!m->index(0, 1).data(Qt::DisplayRole).isValid());
        QVERIFY(!m->index(0, 0).data(Qt::CheckStateRole).isValid());
        QVERIFY(!(m->flags(m->index(0, 1)) & (Qt::ItemIsUserCheckable | Qt::ItemIsEditable)));

        DBCheckBox box;
        box.setDataField(&users, s("AdminUser"));
        box.setValueChecked(9);
        box.setValueUnchecked(0);
        QCOMPARE(box.accessibleName(), s("As a Supervisor"));
        QVERIFY(box.isChecked());
        users.next();
        QVERIFY(!box.isChecked());
        box.show();
        QTest::mouseClick(&box, Qt::LeftButton);
        QVERIFY(box.isChecked());
        QCOMPARE(users.state(), Dataset::Edit);
        QCOMPARE(users[s("AdminUser")]->asInteger(), 9);
        QCOMPARE(m->index(1, 1).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
        users.post();
        QCOMPARE(stored(s("U0001"), "AdminUser"), s("9"));

        DBComboBox group(&users, s("User_Group"));
        group.setChoices({s("G1"), s("G2"), s("NO GROUP")});
        QCOMPARE(group.currentText(), s("G1"));
        users.prior();
        QCOMPARE(group.currentText(), QString());
        group.show();
        group.lineEdit()->setFocus();
        QTest::keyClicks(group.lineEdit(), s("G7"));
        QCOMPARE(users.state(), Dataset::Edit);
        QCOMPARE(users[s("User_Group")]->asString(), s("G7"));
        users.cancel();
        group.activated(2); // the operator picks "NO GROUP"
        QCOMPARE(users[s("User_Group")]->asString(), s("NO GROUP"));
        users.post();
        QCOMPARE(stored(s("U0000"), "User_Group"), s("NO GROUP"));
    }
};

VOX_TEST_MAIN(TestDbWidgets)
#include "tst_dbwidgets.moc"
