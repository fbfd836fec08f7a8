#include "shell/AboutBox.h"
#include "shell/SplashForm.h"
#include "support/FakeDialogs.h"
#include "support/TestMain.h"

#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

class TestSplash : public QObject
{
    Q_OBJECT
private slots:
    void splashShowsTitleAndVersionCentred()
    {
        FakeDialogs dialogs;
        TSplashFrm splash;
        QVERIFY(splash.windowFlags().testFlag(Qt::FramelessWindowHint));
        QVERIFY(!splash.testAttribute(Qt::WA_QuitOnClose));
        QCOMPARE(splash.findChild<QLabel *>(QStringLiteral("Version"))->text(),
                 QStringLiteral("Version : " VOX_TEST_PROJECT_VERSION));
        QCOMPARE(splash.findChild<QLabel *>(QStringLiteral("ProductName"))->text(),
                 QStringLiteral("VOX Administration"));
        QVERIFY(!splash.findChild<QLabel *>(QStringLiteral("Image1"))->pixmap().isNull());
        QVERIFY(dialogs.entries.isEmpty());

        splash.show();
        QVERIFY(QTest::qWaitForWindowExposed(&splash));
        const QPoint centre = splash.screen()->availableGeometry().center();
        QVERIFY((splash.frameGeometry().center() - centre).manhattanLength() <= 2);
    }

    void aboutBoxTextsAndOk()
    {
        FakeDialogs dialogs;
        TAboutBox about;
        QVERIFY(about.isHidden());
        QCOMPARE(about.windowTitle(), QStringLiteral("VOX"));
        QCOMPARE(about.findChild<QLabel *>(QStringLiteral("Version"))->text(),
                 QStringLiteral("Version :" VOX_TEST_PROJECT_VERSION));
        QVERIFY(!about.findChild<QLabel *>(QStringLiteral("ProgramIcon"))->pixmap().isNull());
        QVERIFY(!about.findChild<QLabel *>(QStringLiteral("Copyright"))->text().isEmpty());
        QVERIFY(!about.findChild<QLabel *>(QStringLiteral("Comments"))->text().isEmpty());
        auto *ok = about.findChild<QPushButton *>(QStringLiteral("OKButton"));
        QCOMPARE(ok->text(), QStringLiteral("OK"));
        QVERIFY(ok->isDefault());

        // Shown modally; OK closes it, and it can be shown again.
        for (int round = 0; round < 2; ++round) {
            QTimer::singleShot(0, [&] {
                QCOMPARE(QApplication::activeModalWidget(), &about);
                QTest::keyClick(&about, Qt::Key_Return); // the default button
            });
            QCOMPARE(about.exec(), int(QDialog::Accepted));
            QVERIFY(about.isHidden());
        }
    }
};

VOX_TEST_MAIN(TestSplash)
#include "tst_splash.moc"
