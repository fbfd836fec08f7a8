#include "core/Guard.h"
#include "core/VoxError.h"
#include "support/FakeDialogs.h"
#include "support/TestMain.h"

#include <QListWidget>
#include <QPushButton>
#include <QTest>

// Handlers connected through the guard stop an exception before it reaches
// Qt's signal code: the emitting call returns normally, the report shows the
// message, and a declined confirmation shows nothing.
class Receiver : public QObject
{
public:
    int rows = 0;
    void rowChanged(int row)
    {
        rows = row;
        throw VoxError(QStringLiteral("Row %1").arg(row));
    }
    void noArguments() { throw VoxAbort(); }
};

class TestGuard : public QObject
{
    Q_OBJECT
private slots:
    void exceptionStopsAtTheHandler()
    {
        FakeDialogs dialogs;
        QPushButton button;
        bool unwound = false;
        vox::connect(&button, &QPushButton::clicked, &button,
                     [] { throw VoxError(QStringLiteral("Invalid Input")); });
        try {
            emit button.clicked();
        } catch (...) {
            unwound = true;
        }
        QVERIFY(!unwound);
        QCOMPARE(dialogs.texts(QStringLiteral("report")), QStringList{QStringLiteral("Invalid Input")});
    }

    void memberHandlersTakeTheirOwnArguments()
    {
        FakeDialogs dialogs;
        QListWidget list;
        Receiver receiver;
        vox::connect(&list, &QListWidget::currentRowChanged, &receiver, &Receiver::rowChanged);
        vox::connect(&list, &QListWidget::currentRowChanged, &receiver, &Receiver::noArguments);
        list.addItems({QStringLiteral("a"), QStringLiteral("b")});
        list.setCurrentRow(1);
        QCOMPARE(receiver.rows, 1);
        // The declined operation is abandoned silently; the error is reported.
        QCOMPARE(dialogs.texts(), QStringList{QStringLiteral("Row 1")});
    }

    void lambdaTakingFewerArgumentsThanTheSignal()
    {
        FakeDialogs dialogs;
        QListWidget list;
        int calls = 0;
        vox::connect(&list, &QListWidget::currentRowChanged, &list, [&] { ++calls; });
        list.addItem(QStringLiteral("a"));
        list.setCurrentRow(0);
        QCOMPARE(calls, 1);
        QVERIFY(vox::guard([] {}));
        QVERIFY(!vox::guard([] { throw std::runtime_error("disk full"); }));
        QCOMPARE(dialogs.texts(), QStringList{QStringLiteral("disk full")});
    }
};

VOX_TEST_MAIN(TestGuard)
#include "tst_guard.moc"
