#include "../users/UsersFixture.h"

#include "risk/MParamForm.h"
#include "shell/ChildWindows.h"
#include "shell/MainForm.h"
#include "support/TestMain.h"
#include "users/GroupForm.h"
#include "users/UserForm.h"
#include "widgets/DBEdit.h"
#include "widgets/DBNavigator.h"
#include "widgets/ListAssignment.h"

#include <QCheckBox>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>

// The maintenance windows as the main window opens them, against a real
// database and a stand-in risk manager: a window works on the shared
// datasets alone, and choosing its action again brings it back.
class TestChildWindows : public QObject
{
    Q_OBJECT

    std::unique_ptr<UsersFixture> fx;
    std::unique_ptr<TMainForm> main;

    template <typename W>
    QList<W *> windows()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QList<W *> out;
        for (QMdiSubWindow *sub : main->mdiArea()->subWindowList(QMdiArea::CreationOrder)) {
            if (auto *w = qobject_cast<W *>(sub->widget()))
                out << w;
        }
        return out;
    }

    TUserForm *userWindow()
    {
        const auto list = windows<TUserForm>();
        return list.size() == 1 ? list.first() : nullptr;
    }

    static void press(TUserForm *form, DBNavigator::Button b)
    {
        QToolButton *button = form->wwDBNavigator1->button(b);
        QVERIFY2(button->isEnabled(), qPrintable(DBNavigator::buttonName(b)));
        QTest::mouseClick(button, Qt::LeftButton);
    }

    void pick(TUserForm *form, const QString &group, const QString &user)
    {
        const auto items = form->ListBox1->findItems(group, Qt::MatchExactly);
        QVERIFY(!items.isEmpty());
        form->ListBox1->setCurrentItem(items.first());
        QVERIFY(fx->data->User_File->locate(QStringLiteral("User_No"), user));
    }

private slots:
    void initTestCase_data() { VOX_DB_BACKENDS(); }

    void init()
    {
        VOX_FIXTURE_SET_UP(fx, UsersFixture);
        // The real maintenance windows; the data module's risk-manager
        // client stands in for the ones the window would make.
        ShellServices services;
        services.formCreate = [] {};
        main = std::make_unique<TMainForm>(services);
        main->show();
        QVERIFY(QTest::qWaitForWindowExposed(main.get()));
        main->checkprofile({QStringLiteral("Administrator"), QStringLiteral("Risk Management")});
    }

    void cleanup()
    {
        if (main)
            main->mdiArea()->closeAllSubWindows();
        QTest::qWait(10);
        main.reset();
        fx.reset();
    }

    void choosingUserMaintenanceAgainKeepsTheEditOfTheOpenWindow()
    {
        fx->addRisk(QStringLiteral("U3"), QStringLiteral("SUSPEND"));
        main->UserAction->trigger();
        QPointer<TUserForm> form = userWindow();
        QVERIFY(form);
        pick(form, QStringLiteral("G1"), QStringLiteral("U3"));
        QVERIFY(form->CheckBox3->isChecked());
        QVERIFY(form->CheckBox1->isChecked());
        press(form, DBNavigator::Edit);
        QTest::keyClicks(form->FullNameField, QStringLiteral("X"));

        // A group window, then User Maintenance again (Ctrl+N).
        main->GroupAction->trigger();
        QCOMPARE(windows<TGroupForm>().size(), 1);
        QTest::keyClick(main.get(), Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(windows<TUserForm>().size(), 1);
        QCOMPARE(userWindow(), form.data());
        QCOMPARE(main->mdiArea()->activeSubWindow()->widget(), form.data());
        // Nothing was posted or refused behind the operator's back.
        QCOMPARE(fx->data->User_File->state(), Dataset::Edit);
        QCOMPARE(fx->dialogs->entries.size(), 0);
        QCOMPARE(fx->riskman.take(), QStringList());
        QCOMPARE(fx->userField(QStringLiteral("U3"), QStringLiteral("Full_Name")), QStringLiteral("NAME U3"));

        // The edit ends with the data the operator meant.
        press(form, DBNavigator::Post);
        QCOMPARE(fx->userField(QStringLiteral("U3"), QStringLiteral("Full_Name")), QStringLiteral("NAME U3X"));
        QCOMPARE(fx->userField(QStringLiteral("U3"), QStringLiteral("AdminUser")).toInt(), 9);
        QCOMPARE(fx->riskman.take(2), (QStringList{QStringLiteral("set|SUSPEND||ORD|13|U3|"),
                                                   QStringLiteral("unset|SKIPSSELL||ORD|13|U3|")}));

        // An edit left open while the action is chosen again can still be
        // cancelled.
        press(form, DBNavigator::Edit);
        main->UserAction->trigger();
        press(form, DBNavigator::Cancel);
        QCOMPARE(fx->data->User_File->state(), Dataset::Browse);
        QVERIFY(form->CheckBox3->isChecked());
        QCOMPARE(fx->dialogs->entries.size(), 0);
    }

    void choosingGroupMaintenanceAgainSavesToTheGroupShown()
    {
        main->GroupAction->trigger();
        main->GroupAction->trigger();
        const auto groups = windows<TGroupForm>();
        QCOMPARE(groups.size(), 1);
        TGroupForm *form = groups.first();
        form->PageControl1->setCurrentIndex(1);
        fx->data->Group_File->next();
        QCOMPARE(fx->data->Group_File->fieldByName(QStringLiteral("GroupID"))->asString(), QStringLiteral("G2"));
        form->UserRightListBox->selectEntries({QStringLiteral("Order Entry")});
        QTest::mouseClick(form->BitBtn8, Qt::LeftButton);
        QCOMPARE(TestDb::scalar(fx->conn, QStringLiteral("SELECT Authority FROM dbo.Group_File WHERE GroupID = 'G2'"))
                     .toString(),
                 QStringLiteral("Trade Enquiry\r\n"));
        QCOMPARE(TestDb::scalar(fx->conn, QStringLiteral("SELECT Authority FROM dbo.Group_File WHERE GroupID = 'G1'"))
                     .toString(),
                 QStringLiteral("Order Entry\r\nTrade Enquiry\r\n"));
        QCOMPARE(fx->dialogs->entries.size(), 0);
    }

    void marketParameterQuitLeavesNoEmptyFrame()
    {
        main->MarketParamAction->trigger();
        const auto params = windows<TMParamForm>();
        QCOMPARE(params.size(), 1);
        QPointer<QMdiSubWindow> frame = main->mdiArea()->subWindowList().value(0);
        QTest::mouseClick(params.first()->Button2, Qt::LeftButton);
        QTRY_VERIFY(frame.isNull());
        QVERIFY(main->mdiArea()->subWindowList().isEmpty());
        QCOMPARE(fx->dialogs->entries.size(), 0);
    }
};

VOX_TEST_MAIN(TestChildWindows)
#include "tst_childwindows.moc"
