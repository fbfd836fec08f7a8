// The schema scripts against the console's column catalogue, on SQLite and
// (when the test server is there) on PostgreSQL, and the demo database.
#include "DemoData.h"
#include "DemoDatabase.h"
#include "db/Schema.h"
#include "db/SqlDialect.h"
#include "support/TestMain.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QUuid>

#include <algorithm>

using DemoDb::Engine;

namespace {

// An ODBC connection that is removed with the object.
class Connection
{
public:
    explicit Connection(const QString &connectionString)
        : m_name(QUuid::createUuid().toString())
    {
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), m_name);
        m_db.setDatabaseName(connectionString);
        m_db.open();
    }
    ~Connection()
    {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
    }
    QSqlDatabase &db() { return m_db; }

    void exec(const QString &sql)
    {
        QSqlQuery q(m_db);
        QVERIFY2(q.exec(sql), qPrintable(sql + QLatin1Char('\n') + q.lastError().text()));
    }
    int count(const QString &sql)
    {
        QSqlQuery q(m_db);
        if (!q.exec(sql) || !q.next())
            qFatal("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
        return q.value(0).toInt();
    }

private:
    QString m_name;
    QSqlDatabase m_db;
};

bool typeFits(FieldType type, QMetaType reported)
{
    switch (type) {
    case FieldType::FixedChar:
    case FieldType::VarChar:
    case FieldType::Memo:
        return reported.id() == QMetaType::QString;
    case FieldType::Integer:
    case FieldType::SmallInt:
    case FieldType::Boolean: // bit, or smallint where bit is not a number
        return QList<int>{QMetaType::Int, QMetaType::UInt, QMetaType::Short, QMetaType::UShort,
                          QMetaType::Bool, QMetaType::LongLong}
            .contains(reported.id());
    case FieldType::Float:
        return reported.id() == QMetaType::Double;
    case FieldType::DateTime:
        return reported.id() == QMetaType::QDateTime;
    case FieldType::RowVersion:
        return true;
    }
    return false;
}

// Every table and column of the catalogue can be selected, with a type of
// the declared kind and, for text, the declared width.
void checkCatalogue(QSqlDatabase &db, Engine engine)
{
    const Dialect dialect = engine == Engine::Sqlite ? Dialect::SQLite : Dialect::PostgreSQL;
    for (const TableDef &table : Schema::tables()) {
        for (const FieldDef &f : table.columns) {
            const QString sql = QStringLiteral("SELECT %1 FROM %2 WHERE 1=0")
                                    .arg(SqlDialect::identifier(f.name, dialect), table.name);
            QSqlQuery q(db);
            QVERIFY2(q.exec(sql), qPrintable(sql + QLatin1Char('\n') + q.lastError().text()));
            const QSqlField field = q.record().field(0);
            const QString where = table.name + QLatin1Char('.') + f.name;
            QVERIFY2(typeFits(f.type, field.metaType()),
                     qPrintable(where + QLatin1String(" reads as ") + QLatin1String(field.metaType().name())));
            if (f.type == FieldType::FixedChar || f.type == FieldType::VarChar)
                QVERIFY2(field.length() == f.size,
                         qPrintable(where + QStringLiteral(" is %1 wide, not %2").arg(field.length()).arg(f.size)));
        }
    }
    QCOMPARE(Schema::tables().size(), DemoDb::tableNames().size());
}

// The console's own statements that depend on the column types: the new
// customer insert writes the literal 1 into Active, and the day-start copy
// reads Limit back.
void checkCustomerInsert(QSqlDatabase &db, Dialect dialect)
{
    const QString insert = QStringLiteral(
        "insert into customer_file (Account, First_Name, Family_Name, Chn_Name, Day_Tel_1, Mobile, "
        "Home_Tel, E_Mail, Fax, Limit, Active, User_No, DateTime_Created, Account_Name, password, "
        "Margin, Cash_Bal, Currency) values (:Account, :First_Name, :Family_Name, :Chn_Name, "
        ":Day_Tel_1, :Mobile, :Home_Tel, :E_Mail, :Fax, :Limit, 1, :User_No, :DateTime_Created, "
        ":Account_Name, :password, 0, 0, 'HKD')");
    const ParsedSql parsed = SqlDialect::parseParameters(SqlDialect::adapt(insert, dialect));
    QSqlQuery q(db);
    QVERIFY2(q.prepare(parsed.sql), qPrintable(q.lastError().text()));
    for (int i = 0; i < parsed.params.size(); ++i) {
        const QString p = parsed.params.at(i);
        if (p == QLatin1String("Limit"))
            q.bindValue(i, 0.0);
        else if (p == QLatin1String("DateTime_Created"))
            q.bindValue(i, QDateTime(QDate(2024, 5, 2), QTime(0, 0)));
        else
            q.bindValue(i, p == QLatin1String("Account") ? QStringLiteral("900001") : QStringLiteral("X"));
    }
    QVERIFY2(q.exec(), qPrintable(q.lastError().text()));

    const ParsedSql bod = SqlDialect::parseParameters(SqlDialect::adapt(
        QStringLiteral("insert into BOD_Customer_File (Account, Limit, Active, Margin, Cash_Bal, Currency) "
                       "select Account, Limit, Active, Margin, Cash_Bal, Currency from Customer_File "
                       "where Account = :Account"),
        dialect));
    QSqlQuery copy(db);
    QVERIFY(copy.prepare(bod.sql));
    copy.bindValue(0, QStringLiteral("900001"));
    QVERIFY2(copy.exec(), qPrintable(copy.lastError().text()));

    QSqlQuery check(db);
    QVERIFY(check.exec(QStringLiteral("select Active, Margin, Currency from BOD_Customer_File where Account = '900001'")));
    QVERIFY(check.next());
    QCOMPARE(check.value(0).toInt(), 1);
    QCOMPARE(check.value(1).toInt(), 0);
    QCOMPARE(check.value(2).toString().trimmed(), QStringLiteral("HKD"));
}

} // namespace

class TestSchema : public QObject
{
    Q_OBJECT

private slots:
    void scriptSplitting()
    {
        const QStringList s = DemoDb::splitStatements(QStringLiteral(
            "-- heading\r\nCREATE TABLE a (\r\n  x int\r\n);\r\n\r\nCREATE TABLE b (y int)\n;\n-- tail\n"));
        QCOMPARE(s.size(), 2);
        QVERIFY(s.at(0).startsWith(QLatin1String("CREATE TABLE a (")));
        QVERIFY(s.at(0).endsWith(QLatin1Char(')')));
        QCOMPARE(s.at(1), QStringLiteral("CREATE TABLE b (y int)"));
        // The scripts keep to that rule: no ";" inside a statement.
        for (Engine e : {Engine::Sqlite, Engine::PostgreSql, Engine::SqlServer}) {
            const QStringList statements = DemoDb::splitStatements(DemoDb::schemaScript(e));
            const auto tables = std::count_if(statements.begin(), statements.end(), [](const QString &st) {
                return st.contains(QLatin1String("CREATE TABLE"));
            });
            QCOMPARE(tables, qsizetype(DemoDb::tableNames().size()));
            for (const QString &st : statements)
                QVERIFY2(!st.contains(QLatin1Char(';')), qPrintable(st));
        }
    }

    void sqliteSchema()
    {
        QTemporaryDir dir;
        Connection c(DemoDb::sqliteConnectionString(dir.filePath(QStringLiteral("schema.db"))));
        QVERIFY2(c.db().isOpen(), qPrintable(c.db().lastError().text()));
        DemoDb::runScript(c.db(), DemoDb::schemaScript(Engine::Sqlite));
        checkCatalogue(c.db(), Engine::Sqlite);
        checkCustomerInsert(c.db(), Dialect::SQLite);
        // The keys the console writes by.
        c.exec(QStringLiteral("insert into DeviceAccount (DeviceName, isEncrypted, Enabled, UserType, Account) "
                              "values ('TWM', 0, 1, 1, '100001')"));
        QSqlQuery dup(c.db());
        QVERIFY(!dup.exec(QStringLiteral("insert into DeviceAccount (DeviceName, isEncrypted, Enabled, UserType, "
                                         "Account) values ('TWM', 0, 1, 1, '100001')")));
    }

    void postgresqlSchema()
    {
        const QString pg = qEnvironmentVariable("VOX_TEST_PG");
        if (pg.isEmpty())
            QSKIP("VOX_TEST_PG is not set");
        Connection c(pg);
        QVERIFY2(c.db().isOpen(), qPrintable(c.db().lastError().text()));
        // A schema of our own, so that other tests on the server are not disturbed.
        c.exec(QStringLiteral("DROP SCHEMA IF EXISTS voxschematest CASCADE"));
        c.exec(QStringLiteral("CREATE SCHEMA voxschematest"));
        c.exec(QStringLiteral("SET search_path TO voxschematest"));
        DemoDb::runScript(c.db(), DemoDb::schemaScript(Engine::PostgreSql));
        QCOMPARE(c.count(QStringLiteral("select count(*) from information_schema.tables "
                                        "where table_schema = 'voxschematest'")),
                 int(DemoDb::tableNames().size()));
        checkCatalogue(c.db(), Engine::PostgreSql);
        checkCustomerInsert(c.db(), Dialect::PostgreSQL);
        // The demo rows go in on PostgreSQL as well (widths, integer flags).
        c.exec(QStringLiteral("DELETE FROM customer_file"));
        c.exec(QStringLiteral("DELETE FROM BOD_Customer_File"));
        DemoDb::insertDemoData(c.db(), Engine::PostgreSql);
        QCOMPARE(c.count(QStringLiteral("select count(*) from customer_file")), 400);
        c.exec(QStringLiteral("DROP SCHEMA voxschematest CASCADE"));
    }

    void demoDatabase()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("demo.db"));
        DemoDb::buildSqliteFile(file, false);
        QVERIFY(QFile::exists(file));
        QVERIFY_THROWS_EXCEPTION(DemoDb::Error, DemoDb::buildSqliteFile(file, false));

        Connection c(DemoDb::sqliteConnectionString(file));
        QVERIFY(c.db().isOpen());
        QSqlQuery mode(c.db());
        QVERIFY(mode.exec(QStringLiteral("PRAGMA journal_mode")) && mode.next());
        QCOMPARE(mode.value(0).toString(), QStringLiteral("wal"));

        QCOMPARE(c.count(QStringLiteral("select count(*) from customer_file")), 400);
        QCOMPARE(c.count(QStringLiteral("select count(*) from BOD_Customer_File")), 400);
        // Every account has its address row, owned by an existing dealer.
        QCOMPARE(c.count(QStringLiteral("select count(*) from customer_file f join customer_info i "
                                        "on i.Account = f.Account join User_File u on u.User_No = f.User_No")),
                 400);
        // Grants name catalogue entries only; the catalogue has a hidden entry.
        QCOMPARE(c.count(QStringLiteral("select count(*) from AccountEntitle where EntitlementID not in "
                                        "(select entitlevalue from entitlementlist)")),
                 0);
        QCOMPARE(c.count(QStringLiteral("select count(*) from entitlementlist where id < 199")), 10);
        QVERIFY(c.count(QStringLiteral("select count(*) from AccountEntitle")) > 20);
        QCOMPARE(c.count(QStringLiteral("select count(*) from riskman_file where targetsystem = 'ORD' and "
                                        "receiverID = 'ALL' and receivertype = 'ALL' and attribute = 'MKTRATIO'")),
                 1);
        QVERIFY(c.count(QStringLiteral("select count(*) from symbol_lot_size")) >= 10);
        QVERIFY(c.count(QStringLiteral("select count(*) from DeviceAccount where UserType = 0")) >= 1);

        // The demo operators: supervisor, risk-only and login-only.
        QSqlQuery users(c.db());
        QVERIFY(users.exec(QStringLiteral("select User_No, AdminUser, Authority, User_Password, PasswordHash "
                                          "from User_File where User_No in ('ADMIN', 'RISK01', 'LOGIN01') "
                                          "order by User_No")));
        QStringList seen;
        while (users.next()) {
            const QString no = users.value(0).toString();
            seen << no;
            QCOMPARE(users.value(4).toString(), DemoDb::sha1Hex(users.value(3).toString()));
            if (no == QLatin1String("ADMIN"))
                QCOMPARE(users.value(1).toInt(), 9);
            else
                QCOMPARE(users.value(2).toString(),
                         (no == QLatin1String("RISK01") ? QStringLiteral("Risk Management")
                                                         : QStringLiteral("Login Management"))
                             + QStringLiteral("\r\n"));
        }
        QCOMPARE(seen, (QStringList{"ADMIN", "LOGIN01", "RISK01"}));
        QCOMPARE(DemoDb::sha1Hex(QStringLiteral("admin")), QStringLiteral("D033E22AE348AEB5660FC2140AEC35850C4DA997"));

        // Encrypted access codes are digests, plain ones are not.
        QCOMPARE(c.count(QStringLiteral("select count(*) from DeviceAccount where isEncrypted = 1 "
                                        "and length(AccessCode) <> 40")),
                 0);
        QVERIFY(c.count(QStringLiteral("select count(*) from DeviceAccount where isEncrypted = 0 "
                                       "and DeviceName = 'TWM'")) > 0);
    }
};

VOX_TEST_MAIN(TestSchema)
#include "tst_schema.moc"
