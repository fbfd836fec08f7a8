#include "core/VoxError.h"
#include "db/AdminData.h"
#include "support/TestDb.h"
#include "support/TestFiles.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// The data module: its connection settings and every shared dataset.
class TestAdminData : public QObject
{
    Q_OBJECT

    static QString connectError(TAdminData &data)
    {
        try {
            data.DataModuleCreate();
        } catch (const VoxError &e) {
            return e.message();
        }
        return {};
    }

private slots:
    void badSettingsGiveTheFixedMessage_data()
    {
        QTest::addColumn<QString>("ini");
        QTest::newRow("empty DSN_source") << QStringLiteral("[VOX_DATABASE]\r\nDSN_source=\r\nDSN_user=sa\r\n");
        QTest::newRow("no section") << QStringLiteral("[OTHER]\r\nx=1\r\n");
        QTest::newRow("unknown data source") << QStringLiteral("[VOX_DATABASE]\r\nDSN_source=NoSuchDataSource\r\n");
        QTest::newRow("unknown driver")
            << QStringLiteral("[vox_database]\r\ndsn_source=DRIVER={No Such Driver};Database=x\r\n");
    }

    void badSettingsGiveTheFixedMessage()
    {
        QFETCH(QString, ini);
        QTemporaryDir dir;
        TestFiles::write(dir.filePath(QStringLiteral("vox.ini")), ini.toLatin1());
        ScopedCurrentDir current(dir.path());

        TAdminData data;
        QCOMPARE(connectError(data), QStringLiteral("Database connection problem. Please check setting!"));
        QVERIFY(!data.Database1->isOpen());
        // unixODBC, handed an empty name, may leave a file named "DSN=".
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("DSN="))));
        // A dataset opened later tries again and fails in its own words,
        // leaving the dataset closed and usable.
        QVERIFY_THROWS_EXCEPTION(VoxError, data.RightList->open());
        QVERIFY(!data.RightList->isActive());
    }

    void everySharedDatasetOpens_data() { VOX_DB_BACKENDS(); }

    void everySharedDatasetOpens()
    {
        QFETCH(QString, backend);
        QTemporaryDir dir;
        const QString conn = TestDb::freshFor(backend, dir.path());
        if (conn.isEmpty())
            QSKIP("PostgreSQL test server not available");
        TestDb::exec(conn, QStringLiteral("INSERT INTO riskman_file (targetsystem, receivertype, receiverid, attribute, value) VALUES ('ORD', 'ALL', 'ALL', 'MKTRATIO', '0.5')"));
        TestDb::writeVoxIni(dir.path(), conn);
        ScopedCurrentDir current(dir.path());

        TAdminData data;
        data.DataModuleCreate();
        QVERIFY(data.Database1->isOpen());
        QCOMPARE(data.Database1->aliasName(), QStringLiteral("voxdata"));

        const auto datasets = data.findChildren<Dataset *>();
        QCOMPARE(datasets.size(), 26);
        for (Dataset *d : datasets) {
            try {
                d->open();
            } catch (const VoxError &e) {
                QFAIL(qPrintable(d->objectName() + QStringLiteral(": ") + e.message()));
            }
            QVERIFY2(d->isActive(), qPrintable(d->objectName()));
        }
        QCOMPARE(data.VOXProfile->fieldByName(QStringLiteral("value"))->asString(), QStringLiteral("0.5"));
        QVERIFY(data.User_File->findField(QStringLiteral("isadmin")));
        QVERIFY(data.User_Profile->findField(QStringLiteral("SUSPEND")));
        QVERIFY(data.User_Profile->findField(QStringLiteral("SKIPSSELL")));
        QVERIFY(data.Security_Profile->findField(QStringLiteral("SELLONLY")));
        QVERIFY(!data.customer_file->findField(QStringLiteral("Entitlement")));
        QVERIFY(!data.deviceaccount->findField(QStringLiteral("UserType")));

        // The statements run too.
        data.Update_group->setParam(QStringLiteral("para1"), QStringLiteral("Risk Management\r\n"));
        data.Update_group->setParam(QStringLiteral("para2"), QStringLiteral("NONE"));
        data.Update_group->prepare();
        QCOMPARE(data.Update_group->execSql(), 0);
        data.Del_entitle->setParam(QStringLiteral("account"), QStringLiteral("X"));
        data.Del_entitle->execSql();
        data.query_bodCustomerFileInsert->setParam(QStringLiteral("Account"), QStringLiteral("X"));
        data.query_bodCustomerFileInsert->execSql();
    }
};

VOX_TEST_MAIN(TestAdminData)
#include "tst_admindata.moc"
