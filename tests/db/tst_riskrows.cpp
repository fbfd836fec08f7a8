#include "core/VoxError.h"
#include "db/DbConnection.h"
#include "db/RiskRows.h"
#include "support/TestDb.h"
#include "support/TestMain.h"

#include <QSqlQuery>
#include <QTemporaryDir>

// Reading riskman_file back for many receivers at once.
class TestRiskRows : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_conn;
    std::unique_ptr<DbConnection> m_db;

    bool setUpDb()
    {
        QFETCH_GLOBAL(QString, backend);
        m_db.reset();
        m_conn = TestDb::freshFor(backend, m_dir.path());
        if (m_conn.isEmpty())
            return false;
        m_db = TestDb::openConnection(m_conn);
        return true;
    }

    void insert(const QString &target, const QString &type, const QString &id, const QString &attribute,
                const QString &value)
    {
        QSqlQuery q = m_db->newQuery();
        m_db->prepare(q, QStringLiteral("INSERT INTO riskman_file (targetsystem, receivertype, receiverid, "
                                        "attribute, value) VALUES (?, ?, ?, ?, ?)"));
        for (const QString &v : {target, type, id, attribute, value})
            q.addBindValue(v);
        m_db->exec(q);
    }

    static QStringList texts(QList<RiskRow> rows)
    {
        QStringList out;
        for (const RiskRow &r : rows)
            out << QStringList{r.target, r.receiverType, r.receiverId, r.attribute, r.value}.join(QLatin1Char('|'));
        out.sort();
        return out;
    }

private slots:
    void initTestCase_data() { VOX_DB_BACKENDS(); }

    void readsEveryAskedReceiverAcrossBatches()
    {
        if (!setUpDb())
            return;
        // More receivers than two statements take, every third one with rows.
        QStringList asked;
        QStringList expected;
        QVERIFY(m_db->database().transaction());
        for (int i = 0; i < 2 * RiskRowReader::BatchSize + 7; ++i) {
            const QString id = QStringLiteral("A%1").arg(i);
            asked << id;
            if (i % 3 == 0) {
                insert(QStringLiteral("ORD"), QStringLiteral("10"), id, QStringLiteral("UPFR"), QString::number(i));
                expected << QStringLiteral("ORD|10|%1|UPFR|%2").arg(id).arg(i);
            }
        }
        QVERIFY(m_db->database().commit());
        insert(QStringLiteral("TWMADMIN"), QStringLiteral("10"), QStringLiteral("A3"), QStringLiteral("SUSPEND"), QString());
        expected << QStringLiteral("TWMADMIN|10|A3|SUSPEND|");
        insert(QStringLiteral("ORD"), QStringLiteral("10"), QStringLiteral("OTHER"), QStringLiteral("SELL"), QString());
        asked << QStringLiteral("A3") << QStringLiteral("NONE"); // a repeat and an absent one
        expected.sort();
        QCOMPARE(texts(RiskRowReader(m_db.get()).rowsOf(asked)), expected);
        QCOMPARE(RiskRowReader(m_db.get()).rowsOf({}).size(), 0);
    }

    void receiverIdsAreParameters()
    {
        if (!setUpDb())
            return;
        insert(QStringLiteral("ORD"), QStringLiteral("0"), QStringLiteral("a'b"), QStringLiteral("SELL"), QString());
        insert(QStringLiteral("ORD"), QStringLiteral("0"), QStringLiteral("X1"), QStringLiteral("SELL"), QString());
        QCOMPARE(texts(RiskRowReader(m_db.get()).rowsOf({QStringLiteral("a'b"), QStringLiteral("' or ''='")})),
                 QStringList{"ORD|0|a'b|SELL|"});
    }

    void aFailedReadRaisesTheDatabasesMessage()
    {
        if (!setUpDb())
            return;
        TestDb::exec(m_conn, QStringLiteral("DROP TABLE riskman_file"));
        try {
            RiskRowReader(m_db.get()).rowsOf({QStringLiteral("A1")});
            QFAIL("no error raised");
        } catch (const VoxError &e) {
            QVERIFY2(e.message().contains(QLatin1String("riskman_file"), Qt::CaseInsensitive), qPrintable(e.message()));
        }
    }
};

VOX_TEST_MAIN(TestRiskRows)
#include "tst_riskrows.moc"
