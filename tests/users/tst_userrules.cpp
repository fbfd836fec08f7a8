#include "UsersFixture.h"

#include "core/VoxError.h"
#include "db/TableView.h"
#include "support/TestMain.h"
#include "users/SHA.h"
#include "users/UserRules.h"

// The rules of the user records driven through a stand-in screen: they
// read and set only the screen they were given.
class FakeUserScreen : public UserScreen
{
public:
    QString confirmation;
    bool supervisor = false;
    bool suspend = false;
    bool skip = false;
    bool editable = true;
    QStringList rights;
    int touched = 0;
    TSHA sha;

    QString passwordConfirmation() const override { return confirmation; }
    bool supervisorBox() const override { return supervisor; }
    void setSupervisorBox(bool on) override { supervisor = on, ++touched; }
    bool suspendBox() const override { return suspend; }
    void setSuspendBox(bool on) override { suspend = on, ++touched; }
    bool skipShortSellBox() const override { return skip; }
    void setSkipShortSellBox(bool on) override { skip = on, ++touched; }
    void setUserNumberEditable(bool on) override { editable = on; }
    void setRightsWorkingList(const QStringList &r) override { rights = r, ++touched; }
    TSHA &digest() override { return sha; }
};

class TestUserRules : public QObject
{
    Q_OBJECT

    std::unique_ptr<UsersFixture> fx;

    Dataset *users() { return fx->data->User_File; }

    void editAndPost(FakeUserScreen &screen)
    {
        users()->edit();
        screen.confirmation = users()->fieldByName(QStringLiteral("User_Password"))->asString();
        users()->post();
    }

private slots:
    void initTestCase_data() { VOX_DB_BACKENDS(); }

    void init()
    {
        VOX_FIXTURE_SET_UP(fx, UsersFixture);
    }

    void cleanup() { fx.reset(); }

    void rulesReadAndSetOnlyTheirOwnScreen()
    {
        FakeUserScreen older;
        FakeUserScreen screen;
        {
            UserRules gone(*users(), *fx->data->User_Profile, older);
        }
        UserRules rules(*users(), *fx->data->User_Profile, screen);
        fx->addRisk(QStringLiteral("U3"), QStringLiteral("SKIPSSELL"));
        users()->open();
        QVERIFY(users()->locate(QStringLiteral("User_No"), QStringLiteral("U3")));
        QVERIFY(screen.supervisor);
        QVERIFY(screen.skip);
        QVERIFY(!screen.suspend);
        QCOMPARE(older.touched, 0);

        // The supervisor flag and the commands come from this screen.
        screen.supervisor = false;
        screen.suspend = true;
        editAndPost(screen);
        QCOMPARE(fx->userField(QStringLiteral("U3"), QStringLiteral("AdminUser")).toInt(), 0);
        QCOMPARE(fx->riskman.take(2), (QStringList{QStringLiteral("set|SUSPEND||ORD|13|U3|"),
                                                   QStringLiteral("set|SKIPSSELL||ORD|13|U3|")}));
        QVERIFY(!screen.editable);
        QCOMPARE(rules.state().rememberedUserNo, QStringLiteral("U3"));
        // What was sent is shown, though riskman_file holds no SUSPEND row.
        QVERIFY(screen.suspend);
        QVERIFY(screen.skip);
        QCOMPARE(older.touched, 0);
    }

    void aRefusedRecordIsLeftAsTyped()
    {
        FakeUserScreen screen;
        UserRules rules(*users(), *fx->data->User_Profile, screen);
        users()->open();
        QVERIFY(users()->locate(QStringLiteral("User_No"), QStringLiteral("U2")));
        users()->edit();
        users()->fieldByName(QStringLiteral("User_Password"))->setValue(QStringLiteral("new"));
        screen.confirmation = QStringLiteral("other");
        QVERIFY_THROWS_EXCEPTION(VoxError, users()->post());
        QCOMPARE(users()->state(), Dataset::Edit);
        screen.confirmation = QStringLiteral("new");
        users()->post();
        QCOMPARE(fx->userField(QStringLiteral("U2"), QStringLiteral("PasswordHash")), UsersFixture::sha1(QStringLiteral("new")));
        QCOMPARE(fx->riskman.take(2).size(), 2);
    }

    void checksRefuseWhatNoCommandOrDigestCanCarry_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("userNumberOk");
        QTest::addColumn<bool>("passwordOk");
        QTest::newRow("plain") << QStringLiteral("D001") << true << true;
        QTest::newRow("latin-1") << (QStringLiteral("D") + QChar(0xE9)) << true << true;
        QTest::newRow("bar") << QStringLiteral("D|1") << false << true;
        QTest::newRow("tab") << QStringLiteral("D\t1") << false << true;
        QTest::newRow("del") << (QStringLiteral("D") + QChar(0x7F)) << false << true;
        QTest::newRow("c1 control") << (QStringLiteral("D") + QChar(0x85)) << false << true;
        QTest::newRow("wide") << (QStringLiteral("D") + QChar(0x20AC)) << false << false;
    }

    void checksRefuseWhatNoCommandOrDigestCanCarry()
    {
        QFETCH(QString, text);
        QFETCH(bool, userNumberOk);
        QFETCH(bool, passwordOk);
        bool raised = false;
        try {
            UserRules::checkUserNumber(text);
        } catch (const VoxError &) {
            raised = true;
        }
        QCOMPARE(!raised, userNumberOk);
        raised = false;
        try {
            UserRules::checkPassword(text);
        } catch (const VoxError &) {
            raised = true;
        }
        QCOMPARE(!raised, passwordOk);
    }
};

VOX_TEST_MAIN(TestUserRules)
#include "tst_userrules.moc"
