#include "core/ErrorReport.h"
#include "core/VoxError.h"
#include "support/FakeDialogs.h"
#include "support/TestMain.h"

#include <QPushButton>
#include <QTest>

class TestErrorReport : public QObject
{
    Q_OBJECT
private slots:
    void operatorErrorFromHandlerIsReportedAndLoopGoesOn()
    {
        FakeDialogs dialogs;
        QPushButton button;
        int after = 0;
        QObject::connect(&button, &QPushButton::clicked, [] { throw VoxError(QStringLiteral("Invalid Input")); });
        QObject::connect(&button, &QPushButton::pressed, [&] { ++after; });
        button.show();
        QTest::mouseClick(&button, Qt::LeftButton);
        QCOMPARE(dialogs.texts(QStringLiteral("report")), QStringList{QStringLiteral("Invalid Input")});
        // The application keeps running and handles later events.
        QTest::mouseClick(&button, Qt::LeftButton);
        QCOMPARE(after, 2);
        QCOMPARE(dialogs.entries.size(), 2);
    }

    void foreignExceptionsAreReportedToo()
    {
        FakeDialogs dialogs;
        QVERIFY(!runReported([] { throw std::runtime_error("disk full"); }));
        QVERIFY(runReported([] {}));
        QCOMPARE(dialogs.texts(), QStringList{QStringLiteral("disk full")});
        QCOMPARE(exceptionClassName(dialogs.reports.first()), QStringLiteral("std::runtime_error"));
    }
};

VOX_TEST_MAIN(TestErrorReport)
#include "tst_errorreport.moc"
