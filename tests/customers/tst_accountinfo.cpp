#include "customers/AccountExport.h"
#include "customers/AccountInfo.h"
#include "customers/AccoutList.h"
#include "core/VoxError.h"
#include "logins/LoginsFixture.h"
#include "support/DiskFaults.h"
#include "support/TestFiles.h"
#include "support/TestMain.h"
#include "widgets/DBGrid.h"

#include <QBuffer>
#include <QFile>
#include <QPushButton>
#include <QRadioButton>

#include <cerrno>
#include <cstring>

// The account information export written byte for byte, and the Login List
// picker handing its row back.
class TestAccountInfo : public QObject
{
    Q_OBJECT

    std::unique_ptr<LoginsFixture> fx;

    void addNamedCustomer(const QString &account, const QString &first, const QString &family)
    {
        TestDb::exec(fx->conn,
                     QStringLiteral("INSERT INTO customer_file (Account, Active, User_No, First_Name, Family_Name) "
                                    "VALUES (?, 1, 'D1', ?, ?)"),
                     {account, first, family});
    }

    QByteArray exported(AccountExport::Channel channel, AccountExport::Plan plan)
    {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        AccountExport::write(*fx->data->Database1, channel, buffer, plan);
        return buffer.data();
    }

    static QByteArray fileBytes(const QString &name)
    {
        QFile f(name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

private slots:
    void initTestCase_data() { VOX_DB_BACKENDS(); }

    void init()
    {
        VOX_FIXTURE_SET_UP(fx, LoginsFixture);
        fx->addUser(QStringLiteral("D1"));
        fx->addUser(QStringLiteral("D2"));
        fx->addCatalogue(1, QStringLiteral("HKEX"), QStringLiteral("Hong Kong Market"));
        fx->addCatalogue(2, QStringLiteral("ITRADE"), QStringLiteral("Internet Trading"));
        fx->addCatalogue(199, QStringLiteral("HIDDEN"), QStringLiteral("Not listed"));
    }

    void cleanup() { fx.reset(); }

    // Days since 30 Dec 1899 as a 23-character floating-point text.
    void expireDateForm_data()
    {
        QTest::addColumn<QDateTime>("expiry");
        QTest::addColumn<QString>("text");
        QTest::newRow("midnight") << QDateTime(QDate(2002, 12, 31), QTime(0, 0)) << QStringLiteral(" 3.76210000000000E+0004");
        QTest::newRow("noon") << QDateTime(QDate(2002, 12, 31), QTime(12, 0)) << QStringLiteral(" 3.76215000000000E+0004");
        QTest::newRow("1900") << QDateTime(QDate(1900, 1, 1), QTime(0, 0)) << QStringLiteral(" 2.00000000000000E+0000");
        QTest::newRow("below one") << QDateTime(QDate(1899, 12, 30), QTime(6, 0)) << QStringLiteral(" 2.50000000000000E-0001");
        QTest::newRow("negative") << QDateTime(QDate(1899, 12, 29), QTime(6, 0)) << QStringLiteral("-1.25000000000000E+0000");
    }

    void expireDateForm()
    {
        QFETCH(QDateTime, expiry);
        QFETCH(QString, text);
        QCOMPARE(AccountExport::expireText(expiry), text);
        QCOMPARE(text.size(), 23);
    }

    void fieldsWithCommasOrQuotesAreQuoted_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("written");
        QTest::newRow("plain") << QStringLiteral("TAI MAN CHAN") << QStringLiteral("TAI MAN CHAN");
        QTest::newRow("comma") << QStringLiteral("LAU, JR") << QStringLiteral("\"LAU, JR\"");
        QTest::newRow("quote") << QStringLiteral("5\" DISK") << QStringLiteral("\"5\"\" DISK\"");
        QTest::newRow("line end") << QStringLiteral("A\nB") << QStringLiteral("\"A\nB\"");
    }

    void fieldsWithCommasOrQuotesAreQuoted()
    {
        QFETCH(QString, value);
        QFETCH(QString, written);
        QCOMPARE(AccountExport::field(value), written);
    }

    void internetAndTwmFilesByteForByte()
    {
        addNamedCustomer(QStringLiteral("100001"), QStringLiteral("  TAI MAN "), QStringLiteral("CHAN"));
        addNamedCustomer(QStringLiteral("100003"), QStringLiteral("LAU, JR"), QStringLiteral("WING"));
        fx->addDeviceLogin(QStringLiteral("Internet"), QStringLiteral("100003"), 1, QStringLiteral("9"), {}, true);
        fx->addDeviceLogin(QStringLiteral("Internet"), QStringLiteral("100001"), 1, QStringLiteral("8"),
                           QDateTime(QDate(2002, 12, 31), QTime(0, 0)), true);
        fx->addDeviceLogin(QStringLiteral("Internet"), QStringLiteral("100002"), 1, QStringLiteral("7"), {}, false);
        fx->addDeviceLogin(QStringLiteral("TWM"), QStringLiteral("100001"), 1, QStringLiteral("555"), {}, true);
        fx->addGrant(QStringLiteral("100001"), 1, QStringLiteral("ITRADE"));
        fx->addGrant(QStringLiteral("100001"), 1, QStringLiteral("HKEX"));
        // Blanks and a tab around the name, quotes inside it, an expiry at
        // noon, a grant held twice and grants of an account without login.
        addNamedCustomer(QStringLiteral("100004"), QStringLiteral("\tSAM \"SLY\" "), QStringLiteral("KO"));
        fx->addDeviceLogin(QStringLiteral("Internet"), QStringLiteral("100004"), 1, QStringLiteral("6"),
                           QDateTime(QDate(2002, 12, 31), QTime(12, 0)), true);
        fx->addGrant(QStringLiteral("100009"), 1, QStringLiteral("HKEX"));
        for (const char *id : {"HKEX", "ITRADE", "HKEX"})
            fx->addGrant(QStringLiteral("100004"), 1, QString::fromLatin1(id));

        const QByteArray internet =
            "Account Information for Internet trading\r\n"
            "Account,Name,User,Entitlement,Expire Date,Enabled\r\n"
            "100001,TAI MAN CHAN,D1,ITRADE;HKEX;, 3.76210000000000E+0004,TRUE\r\n"
            "100002, ,,,,FALSE\r\n"
            "100003,\"LAU, JR WING\",D1,,,TRUE\r\n"
            "100004,\"SAM \"\"SLY\"\" KO\",D1,HKEX;ITRADE;HKEX;, 3.76215000000000E+0004,TRUE\r\n"
            "\r\n"
            "Entitlement description\r\n"
            "HKEX:Hong Kong Market\r\n"
            "ITRADE:Internet Trading\r\n";
        const QByteArray twm =
            "Account Information for TWM\r\n"
            "Account,Name,User,Entitlement,Expire Date,Enabled\r\n"
            "100001,TAI MAN CHAN,D1,555,,TRUE\r\n"
            "\r\n"
            "Entitlement description\r\n"
            "HKEX:Hong Kong Market\r\n"
            "ITRADE:Internet Trading\r\n";
        using AccountExport::Channel;
        using AccountExport::Plan;
        QCOMPARE(exported(Channel::Internet, Plan::PerRow), internet);
        QCOMPARE(exported(Channel::Internet, Plan::Joined), internet);
        QCOMPARE(exported(Channel::TWM, Plan::PerRow), twm);
        QCOMPARE(exported(Channel::TWM, Plan::Joined), twm);

        // The window writes into the current directory.
        TAccountInfo window(*fx->data);
        QTest::mouseClick(window.Button1, Qt::LeftButton);
        window.RadioButton2->setChecked(true);
        QTest::mouseClick(window.Button1, Qt::LeftButton);
        QCOMPARE(fx->dialogs->entries.size(), 0);
        QCOMPARE(fileBytes(QStringLiteral("Internet.csv")), internet);
        QCOMPARE(fileBytes(QStringLiteral("TWM.csv")), twm);
    }

    void noLoginsAndCancelledExport()
    {
        const QByteArray empty = "Account Information for TWM\r\n"
                                 "Account,Name,User,Entitlement,Expire Date,Enabled\r\n"
                                 "\r\n"
                                 "Entitlement description\r\n"
                                 "HKEX:Hong Kong Market\r\n"
                                 "ITRADE:Internet Trading\r\n";
        using AccountExport::Channel;
        QVERIFY(AccountExport::exportFile(*fx->data->Database1, Channel::TWM, fx->dir.path()));
        QCOMPARE(fileBytes(fx->dir.filePath(QStringLiteral("TWM.csv"))), empty);

        for (int i = 0; i < 600; ++i)
            fx->addDeviceLogin(QStringLiteral("TWM"), QStringLiteral("A%1").arg(i, 4, 10, QLatin1Char('0')), 1,
                               QStringLiteral("1"), {}, true);
        int calls = 0;
        const bool done = AccountExport::exportFile(*fx->data->Database1, Channel::TWM, fx->dir.path(),
                                                    [&](int written, int total) {
                                                        ++calls;
                                                        return total == 600 && written < 300;
                                                    });
        QVERIFY(!done);
        QVERIFY(calls >= 2);
        // The file of the earlier export is still there, unchanged.
        QCOMPARE(fileBytes(fx->dir.filePath(QStringLiteral("TWM.csv"))), empty);
        QCOMPARE(QDir(fx->dir.path()).entryList({QStringLiteral("TWM.csv*")}, QDir::Files),
                 QStringList{"TWM.csv"});
        // More logins than the joined reading asks of the driver at a time.
        const QByteArray perRow = exported(Channel::TWM, AccountExport::Plan::PerRow);
        QCOMPARE(perRow.count("\r\n"), 600 + 6);
        QCOMPARE(exported(Channel::TWM, AccountExport::Plan::Joined), perRow);
    }

    // A disk that fills up half-way, a folder that cannot be written, a
    // folder standing where the file goes: the window reports the system's
    // message and nothing else, the earlier file stays as it was, no part
    // of the new one is left under any name, and the next export is whole.
    void aFullOrUnwritableDiskStopsTheExport()
    {
        using AccountExport::Channel;
        const ScopedCurrentDir here(fx->dir.path());
        TAccountInfo window(*fx->data);
        window.RadioButton2->setChecked(true);
        QTest::mouseClick(window.Button1, Qt::LeftButton);
        const QByteArray earlier = fileBytes(QStringLiteral("TWM.csv"));
        QVERIFY(earlier.startsWith("Account Information for TWM\r\n"));
        for (int i = 0; i < 600; ++i)
            fx->addDeviceLogin(QStringLiteral("TWM"), QStringLiteral("B%1").arg(i, 5, 10, QLatin1Char('0')), 1,
                               QStringLiteral("REF%1").arg(i), {}, true);
        const auto onlyTheEarlierFile = [&] {
            QCOMPARE(fileBytes(QStringLiteral("TWM.csv")), earlier);
            QCOMPARE(QDir().entryList({QStringLiteral("TWM*")}), QStringList{"TWM.csv"});
        };

        {
            DiskFullGuard full(4 * 1024);
            QVERIFY(full.isActive());
            QTest::mouseClick(window.Button1, Qt::LeftButton);
        }
        QCOMPARE(fx->dialogs->texts(), QStringList{QString::fromLocal8Bit(std::strerror(EFBIG))});
        QCOMPARE(fx->dialogs->lastKind(), QStringLiteral("report"));
        onlyTheEarlierFile();

        fx->dialogs->clear();
        const QString blocked = DiskFaults::unwritableFolder(fx->dir.path());
        QVERIFY_THROWS_EXCEPTION(VoxError, AccountExport::exportFile(*fx->data->Database1, Channel::TWM, blocked));
        QVERIFY(!QFileInfo::exists(blocked));
        QVERIFY(DiskFaults::occupyWithFolder(fx->dir.path(), QStringLiteral("Internet.csv")));
        QTest::mouseClick(window.RadioButton1, Qt::LeftButton);
        QTest::mouseClick(window.Button1, Qt::LeftButton);
        QCOMPARE(fx->dialogs->texts().size(), 1);
        QCOMPARE(fx->dialogs->lastKind(), QStringLiteral("report"));
        QVERIFY(QFileInfo(QStringLiteral("Internet.csv")).isDir());
        onlyTheEarlierFile();

        // Room again: the console goes on and the export is whole.
        fx->dialogs->clear();
        QTest::mouseClick(window.RadioButton2, Qt::LeftButton);
        QTest::mouseClick(window.Button1, Qt::LeftButton);
        QCOMPARE(fx->dialogs->texts(), QStringList());
        QCOMPARE(fileBytes(QStringLiteral("TWM.csv")).count("\r\n"), 600 + 6);
    }

    void pickerHandsBackTheCurrentRowHoweverClosed()
    {
        fx->addCustomer(QStringLiteral("100001"), QStringLiteral("CHAN"));
        fx->addCustomer(QStringLiteral("100002"), QStringLiteral("WONG"));
        fx->data->Customer_info->open();

        QString picked;
        {
            TAccoutList picker(*fx->data, false);
            picker.setPickHandler([&](const QString &key) { picked = key; });
            picker.show();
            QVERIFY(QTest::qWaitForWindowExposed(&picker));
            QCOMPARE(picker.dataset()->recordCount(), 2);
            picker.dataset()->last();
            picker.close();
        }
        QCOMPARE(picked, QStringLiteral("100002"));
        // The customer list of the data module stays open.
        QVERIFY(fx->data->Customer_info->isActive());

        {
            TAccoutList picker(*fx->data, true);
            picker.setPickHandler([&](const QString &key) { picked = key; });
            picker.show();
            QVERIFY(QTest::qWaitForWindowExposed(&picker));
            picker.dataset()->first();
            picker.dataset()->next();
            picker.DBGrid1DblClick();
            QVERIFY(!picker.isVisible());
            QVERIFY(!picker.dataset()->isActive());
        }
        QCOMPARE(picked, QStringLiteral("D2"));
    }
};

VOX_TEST_MAIN(TestAccountInfo)
#include "tst_accountinfo.moc"
