#include "core/VoxError.h"
#include "db/DbConnection.h"
#include "db/RowWrite.h"
#include "db/Schema.h"
#include "db/TableView.h"
#include "support/TestDb.h"
#include "support/TestMain.h"

#include <QTemporaryDir>

// Two consoles on one database: a post never silently overwrites a change
// the other console made after this one read the row. Once per engine.
class TestConcurrency : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_conn;
    std::unique_ptr<DbConnection> m_first, m_second;

    bool setUpDb()
    {
        QFETCH_GLOBAL(QString, backend);
        m_first.reset();
        m_second.reset();
        m_conn = TestDb::freshFor(backend, m_dir.path());
        if (m_conn.isEmpty())
            return false;
        m_first = std::make_unique<DbConnection>();
        m_second = std::make_unique<DbConnection>();
        for (DbConnection *c : {m_first.get(), m_second.get()}) {
            c->setParams(m_conn, {}, {});
            c->open();
        }
        return true;
    }

    static std::unique_ptr<TableView> view(DbConnection *c, const QString &table)
    {
        auto t = std::make_unique<TableView>(table, c);
        t->setTableName(QStringLiteral("dbo.") + table);
        t->setFieldDefs(Schema::table(table)->columns);
        t->open();
        return t;
    }

    QString stored(const QString &sql)
    {
        return TestDb::rows(m_conn, sql).value(0).value(0);
    }

    // Both consoles have read the row; the first one changes column
    // first to firstValue, then the second one tries column second.
    void expectRefused(const QString &table, const QString &firstColumn, const QVariant &firstValue,
                       const QString &secondColumn, const QVariant &secondValue, const QString &check)
    {
        auto a = view(m_first.get(), table);
        auto b = view(m_second.get(), table);
        a->edit();
        a->fieldByName(firstColumn)->setValue(firstValue);
        a->post();

        b->edit();
        b->fieldByName(secondColumn)->setValue(secondValue);
        try {
            b->post();
            QFAIL("the later post overwrote the earlier one");
        } catch (const RecordChangedError &e) {
            QCOMPARE(e.message(), QString::fromLatin1(RecordChangedError::Message));
        }
        // Nothing of the second change was written; the second console
        // shows the row as the first one left it, and may change it now.
        QCOMPARE(b->state(), Dataset::Browse);
        QCOMPARE(stored(check), firstValue.toString());
        QCOMPARE(b->fieldByName(firstColumn)->asString(), firstValue.toString());
        b->edit();
        b->fieldByName(secondColumn)->setValue(secondValue);
        b->post();
        QCOMPARE(stored(check), (secondColumn == firstColumn ? secondValue : firstValue).toString());
    }

private slots:
    void initTestCase_data() { VOX_DB_BACKENDS(); }
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void userPostAfterAnotherConsolesChangeIsRefused()
    {
        if (!setUpDb())
            QSKIP("PostgreSQL test server not available");
        TestDb::exec(m_conn, QStringLiteral("INSERT INTO dbo.User_File (User_No, Full_Name, AdminUser) VALUES ('U1', 'ONE', 0)"));
        // Another column than the one edited counts too: the row read is gone.
        expectRefused(QStringLiteral("User_File"), QStringLiteral("Full_Name"), QStringLiteral("FIRST"),
                      QStringLiteral("SEHK"), QStringLiteral("X1"),
                      QStringLiteral("SELECT Full_Name FROM dbo.User_File WHERE User_No = 'U1'"));
        QCOMPARE(stored(QStringLiteral("SELECT SEHK FROM dbo.User_File WHERE User_No = 'U1'")), QStringLiteral("X1"));
    }

    void groupRightsPostAfterAnotherConsolesChangeIsRefused()
    {
        if (!setUpDb())
            QSKIP("PostgreSQL test server not available");
        TestDb::exec(m_conn, QStringLiteral("INSERT INTO dbo.Group_File (GroupID, GroupName, TradeLimit, Authority) "
                                            "VALUES ('G1', 'Desk', 1.1, 'Risk Management')"));
        expectRefused(QStringLiteral("Group_File"), QStringLiteral("Authority"), QStringLiteral("Login Management"),
                      QStringLiteral("Authority"), QStringLiteral("Administrator"),
                      QStringLiteral("SELECT Authority FROM dbo.Group_File WHERE GroupID = 'G1'"));
    }

    void customerPostAfterAnotherConsolesChangeIsRefused()
    {
        if (!setUpDb())
            QSKIP("PostgreSQL test server not available");
        TestDb::exec(m_conn, QStringLiteral("INSERT INTO dbo.customer_file (Account, Active, \"Limit\", Cash_Bal, "
                                            "Margin, Currency) VALUES ('100001', 1, 0.1, 12345.678, 0, 'HKD')"));
        expectRefused(QStringLiteral("customer_file"), QStringLiteral("Limit"), 0.3,
                      QStringLiteral("First_Name"), QStringLiteral("CHAN"),
                      QStringLiteral("SELECT \"Limit\" FROM dbo.customer_file WHERE Account = '100001'"));
    }

    void deviceLoginWriteAfterAnotherConsolesChangeIsRefused()
    {
        if (!setUpDb())
            QSKIP("PostgreSQL test server not available");
        TestDb::exec(m_conn, QStringLiteral("INSERT INTO dbo.DeviceAccount (DeviceName, ReferenceID, AccessCode, "
                                            "isEncrypted, Enabled, UserType, Account) VALUES ('TWM', 'R1', '123456', "
                                            "0, 1, 1, '100001')"));
        expectRefused(QStringLiteral("DeviceAccount"), QStringLiteral("ReferenceID"), QStringLiteral("R2"),
                      QStringLiteral("AccessCode"), QStringLiteral("654321"),
                      QStringLiteral("SELECT ReferenceID FROM dbo.DeviceAccount WHERE Account = '100001'"));
    }

    void deleteOfARowChangedMeanwhileIsRefused()
    {
        if (!setUpDb())
            QSKIP("PostgreSQL test server not available");
        TestDb::exec(m_conn, QStringLiteral("INSERT INTO dbo.DeviceAccount (DeviceName, ReferenceID, isEncrypted, "
                                            "Enabled, UserType, Account) VALUES ('MCard', 'C1', 0, 1, 0, 'D001')"));
        auto a = view(m_first.get(), QStringLiteral("DeviceAccount"));
        auto b = view(m_second.get(), QStringLiteral("DeviceAccount"));
        a->edit();
        a->fieldByName(QStringLiteral("Enabled"))->setValue(false);
        a->post();
        QVERIFY_THROWS_EXCEPTION(RecordChangedError, b->remove());
        QCOMPARE(stored(QStringLiteral("SELECT COUNT(*) FROM dbo.DeviceAccount")), QStringLiteral("1"));
        // Read again, the delete goes through.
        b->remove();
        QCOMPARE(stored(QStringLiteral("SELECT COUNT(*) FROM dbo.DeviceAccount")), QStringLiteral("0"));
    }

    // The values read match the row as stored, however the engine stores
    // them: NULLs, blank-padded texts, floating values, bits, memo texts.
    void rowAsReadIsRecognised()
    {
        if (!setUpDb())
            QSKIP("PostgreSQL test server not available");
        TestDb::exec(m_conn, QStringLiteral("INSERT INTO dbo.User_File (User_No, Full_Name, TradeLimit, Authority, "
                                            "User_Group, Active) VALUES ('U2', 'PAD   ', ?, ?, NULL, '')"),
                     {0.1 + 0.2, QStringLiteral("Risk Management\r\nLogin Management\r\n")});
        TestDb::exec(m_conn, QStringLiteral("INSERT INTO dbo.customer_file (Account, Active, \"Limit\", Cash_Bal) "
                                            "VALUES ('100002', 0, ?, NULL)"),
                     {1.0 / 3.0});
        for (const QString &table : {QStringLiteral("User_File"), QStringLiteral("customer_file")}) {
            auto t = view(m_first.get(), table);
            t->edit();
            t->fieldByName(QStringLiteral("DateTime_Created"))->setValue(QDateTime(QDate(2026, 1, 2), QTime(3, 4)));
            t->post(); // raises when a value read is taken for a change
        }
        QCOMPARE(stored(QStringLiteral("SELECT COUNT(*) FROM dbo.User_File WHERE DateTime_Created IS NOT NULL")),
                 QStringLiteral("1"));
    }

    void guardConditionOfEachKindOfValue()
    {
        auto def = [](const char *name, FieldType type) {
            FieldDef d;
            d.name = QString::fromLatin1(name);
            d.type = type;
            return d;
        };
        const FieldDef text = def("Name", FieldType::FixedChar);
        const FieldDef real = def("Limit", FieldType::Float);
        const FieldDef memo = def("Notes", FieldType::Memo);
        const FieldDef version = def("Version", FieldType::RowVersion);
        const FieldDef key = def("Id", FieldType::Integer);
        const QVector<RowColumn> columns{{key, 7, 7},
                                         {text, QStringLiteral("AB  "), QStringLiteral("C")},
                                         {real, QVariant(), 1.5},
                                         {memo, QStringLiteral("x"), QStringLiteral("y")},
                                         {version, QByteArray("\x01\x02"), QVariant()}};
        QVariantMap params;
        QCOMPARE(RowWrite::guardCondition(Dialect::PostgreSQL, {QStringLiteral("Id")}, columns, params),
                 QStringLiteral("Id = :G_Id AND RTRIM(Name) = :G_Name AND Limit IS NULL AND Notes = :G_Notes"));
        QCOMPARE(params.value(QStringLiteral("G_Name")).toString(), QStringLiteral("AB"));
        params.clear();
        // Where the server keeps a row version, the version speaks for the row.
        QCOMPARE(RowWrite::guardCondition(Dialect::SqlServer, {QStringLiteral("Id")}, columns, params),
                 QStringLiteral("Id = :G_Id AND Version = :G_Version"));
    }
};

VOX_TEST_MAIN(TestConcurrency)
#include "tst_concurrency.moc"
