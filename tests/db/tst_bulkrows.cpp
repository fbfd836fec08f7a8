#include "core/VoxError.h"
#include "db/BulkRows.h"
#include "db/DbConnection.h"
#include "support/TestDb.h"
#include "support/TestMain.h"

#include <QTemporaryDir>
#include <memory>

// Rows read straight from the driver, many at a time: every row once, in
// order, nulls told apart, and values that do not fit refused.
class TestBulkRows : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_conn;
    std::unique_ptr<DbConnection> m_db;

private slots:
    void initTestCase_data() { VOX_DB_BACKENDS(); }

    void init()
    {
        QFETCH_GLOBAL(QString, backend);
        m_conn = TestDb::freshFor(backend, m_dir.path());
        if (m_conn.isEmpty())
            QSKIP("PostgreSQL test server not available");
        m_db = TestDb::openConnection(m_conn);
        for (int i = 0; i < 300; ++i)
            TestDb::exec(m_conn, QStringLiteral("INSERT INTO dbo.User_File (User_No, Full_Name) VALUES (?, ?)"),
                         {QStringLiteral("U%1").arg(i, 4, 10, QLatin1Char('0')),
                          i % 5 == 0 ? QVariant(QMetaType(QMetaType::QString)) : QVariant(QStringLiteral("NAME %1").arg(i))});
    }

    void cleanup() { m_db.reset(); }

    void everyRowOnceInOrderWithNulls()
    {
        using Kind = BulkRows::Kind;
        BulkRows rows(*m_db,
                      QStringLiteral("select user_no, full_name from dbo.User_File where user_no >= :from order by user_no"),
                      {{QStringLiteral("FROM"), QStringLiteral("U0010")}}, {{Kind::Text, 20}, {Kind::Text, 100}});
        int n = 10; // 290 rows: more than one fetch
        while (rows.next()) {
            QCOMPARE(rows.text(0).trimmed(), QStringLiteral("U%1").arg(n, 4, 10, QLatin1Char('0')));
            QCOMPARE(rows.isNull(1), n % 5 == 0);
            if (n % 5 != 0)
                QCOMPARE(rows.text(1).trimmed(), QStringLiteral("NAME %1").arg(n));
            ++n;
        }
        QCOMPARE(n, 300);
        QVERIFY(!rows.next());
    }

    void longValuesAndRefusedStatementsRaise()
    {
        using Kind = BulkRows::Kind;
        // "U0000" does not fit in three bytes: it is refused, never cut.
        QString tooLong, refused;
        try {
            BulkRows rows(*m_db, QStringLiteral("select user_no from dbo.User_File order by user_no"), {},
                          {{Kind::Text, 3}});
            rows.next();
        } catch (const VoxError &e) {
            tooLong = e.message();
        }
        QVERIFY2(tooLong.contains(QStringLiteral("longer than 3 bytes")), qPrintable(tooLong));
        // The database's own message reaches the caller.
        try {
            BulkRows rows(*m_db, QStringLiteral("select no_such_column from dbo.User_File"), {}, {{Kind::Text, 20}});
            rows.next();
        } catch (const VoxError &e) {
            refused = e.message();
        }
        QVERIFY(refused.contains(QStringLiteral("no_such_column")));
    }
};

VOX_TEST_MAIN(TestBulkRows)
#include "tst_bulkrows.moc"
