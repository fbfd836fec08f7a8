#include "core/Dialogs.h"
#include "core/ErrorReport.h"
#include "core/VoxError.h"
#include "support/FakeDialogs.h"
#include "support/TestMain.h"
#include "widgets/QtDialogs.h"

#include <QScopeGuard>
#include <QTest>

// Where the operator's messages go: the Qt dialogs while the console's
// application object exists, a scripted fake while a test installs one, and
// without either nothing goes ahead unasked.
class TestDialogs : public QObject
{
    Q_OBJECT
private slots:
    void applicationObjectInstallsTheQtDialogs()
    {
        QVERIFY(dynamic_cast<QtDialogs *>(&Dialogs::instance()));
        {
            FakeDialogs fake;
            QCOMPARE(&Dialogs::instance(), static_cast<Dialogs *>(&fake));
        }
        QVERIFY(dynamic_cast<QtDialogs *>(&Dialogs::instance()));
    }

    void withoutWindowsQuestionsAreDeclined()
    {
        Dialogs *qtDialogs = &Dialogs::instance();
        {
            Dialogs::setDefaultInstance(nullptr);
            auto restore = qScopeGuard([qtDialogs] { Dialogs::setDefaultInstance(qtDialogs); });
            Dialogs &fallback = Dialogs::instance();
            QVERIFY(!dynamic_cast<QtDialogs *>(&fallback));
            QVERIFY(!fallback.confirm(QStringLiteral("Delete the group?")));
            QVERIFY(!fallback.question(QStringLiteral("Apply to all members?")));
            fallback.error(QStringLiteral("Invalid Input"));
        }
        QCOMPARE(&Dialogs::instance(), qtDialogs);
    }

    void reportGoesToTheInstalledWindow()
    {
        const std::exception_ptr error = std::make_exception_ptr(VoxError(QStringLiteral("disk full")));
        QVERIFY(!showExceptionReportWindow(error, nullptr));
        QString shown;
        setExceptionReportWindow([&](const std::exception_ptr &e, QWidget *) { shown = exceptionText(e); });
        auto noWindow = qScopeGuard([] { setExceptionReportWindow({}); });
        QVERIFY(showExceptionReportWindow(error, nullptr));
        QCOMPARE(shown, QStringLiteral("disk full"));
    }
};

VOX_TEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
