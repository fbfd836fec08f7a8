#include "core/VoxError.h"
#include "db/DbConnection.h"
#include "db/Schema.h"
#include "db/TableView.h"
#include "support/ScopedSeam.h"
#include "support/TestDb.h"
#include "support/TestFiles.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>

// The connection: what reaches the driver, read failures, and a link that
// breaks under the console.
class TestDbConnection : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_conn;
    std::unique_ptr<DbConnection> m_db;
    int m_serial = 0;

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

    bool isSqlite() const
    {
        QFETCH_GLOBAL(QString, backend);
        return backend == QLatin1String("sqlite");
    }

    static std::unique_ptr<TableView> userTable(DbConnection *db) { return TestDb::userTable(db); }

    void addUsers(int n)
    {
        for (int i = 0; i < n; ++i)
            TestDb::exec(m_conn, QStringLiteral("INSERT INTO dbo.User_File (User_No, Full_Name) VALUES (?, ?)"),
                         {QStringLiteral("U%1").arg(i, 4, 10, QLatin1Char('0')), QStringLiteral("NAME %1").arg(i)});
    }

    static QString messageOf(const std::function<void()> &fn)
    {
        try {
            fn();
        } catch (const VoxError &e) {
            return e.message();
        }
        return {};
    }

    // Runs pg_ctl of the test server with the given arguments.
    static void pgCtl(const QStringList &args)
    {
        QStringList cmd = QProcess::splitCommand(qEnvironmentVariable("VOX_TEST_PG_CTL"));
        QVERIFY(!cmd.isEmpty());
        const int d = cmd.indexOf(QStringLiteral("-D"));
        QVERIFY(d >= 0 && d + 1 < cmd.size());
        // The server's output goes to the cluster's log, not to the test's.
        const QString log = QDir(cmd.at(d + 1)).absoluteFilePath(QStringLiteral("../log"));
        QProcess p;
        const QString program = cmd.takeFirst();
        // A busy machine may take a while to stop and start the server.
        p.start(program, cmd + args + QStringList{QStringLiteral("-l"), log, QStringLiteral("-t"), QStringLiteral("240")});
        QVERIFY(p.waitForFinished(270000));
        QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
    }

private slots:
    void initTestCase_data() { VOX_DB_BACKENDS(); }
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void cleanup() { m_db.reset(); }

    void odbcValuesAreBracedWhenTheyCouldEndTheAttribute_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("written");
        QTest::newRow("plain") << QStringLiteral("secret") << QStringLiteral("secret");
        QTest::newRow("separator") << QStringLiteral("x;Database=/other.db") << QStringLiteral("{x;Database=/other.db}");
        QTest::newRow("braces") << QStringLiteral("a}b{c") << QStringLiteral("{a}}b{c}");
        QTest::newRow("leading blank") << QStringLiteral(" pad") << QStringLiteral("{ pad}");
    }

    void odbcValuesAreBracedWhenTheyCouldEndTheAttribute()
    {
        // Values are braced when they hold a separator or a brace; a
        // closing brace is doubled.
        QFETCH(QString, value);
        QFETCH(QString, written);
        QCOMPARE(DbConnection::odbcValue(value), written);
    }

    void credentialsCannotAddAttributesToTheConnectionString()
    {
        QCOMPARE(DbConnection::connectionString(QStringLiteral("voxdata"), QStringLiteral("sa"), QStringLiteral("p;w")),
                 QStringLiteral("DSN=voxdata;UID=sa;PWD={p;w}"));
        QCOMPARE(DbConnection::connectionString(QStringLiteral("DRIVER={X};Database=a;"), {}, QStringLiteral("}")),
                 QStringLiteral("DRIVER={X};Database=a;PWD={}}}"));

        QFETCH_GLOBAL(QString, backend);
        if (backend != QLatin1String("postgresql"))
            QSKIP("needs a driver that reads quoted values (the SQLite driver does not)");
        if (!setUpDb())
            QSKIP("PostgreSQL test server not available");
        // A password naming another database opens the configured one.
        const QString other = TestDb::freshPostgres();
        TestDb::exec(m_conn, QStringLiteral("INSERT INTO dbo.User_File (User_No) VALUES ('MINE')"));
        TestDb::exec(other, QStringLiteral("INSERT INTO dbo.User_File (User_No) VALUES ('OTHER')"));
        auto databaseOf = [](const QString &conn) {
            return conn.section(QStringLiteral("DATABASE="), 1).section(QLatin1Char(';'), 0, 0);
        };
        // Reached as the console reaches it: by the name of a data source,
        // whose settings the connection string's attributes override.
        const QString odbcIni = QDir(m_dir.path()).filePath(QStringLiteral("odbc.ini"));
        TestFiles::write(odbcIni, QStringLiteral("[voxmine]\nDriver=PostgreSQL Unicode\nServername=127.0.0.1\nPort=%1\n"
                                                 "Database=%2\nUsername=voxtest\n")
                                      .arg(qEnvironmentVariable("VOX_TEST_PG_PORT"), databaseOf(m_conn))
                                      .toUtf8());
        ScopedEnvironment odbcIniVariable("ODBCINI", QFile::encodeName(odbcIni));
        const QString otherDb = databaseOf(other);
        const QStringList passwords = {QStringLiteral("x;Database=") + otherDb,
                                       QStringLiteral("{x};Database=") + otherDb,
                                       QStringLiteral("x}};Database=") + otherDb + QStringLiteral(";DRIVER={x}")};
        for (const QString &password : passwords) {
            DbConnection db;
            db.setParams(QStringLiteral("voxmine"), QStringLiteral("voxtest"), password);
            db.open();
            auto t = userTable(&db);
            t->open();
            QCOMPARE(t->recordCount(), 1);
            QCOMPARE(t->fieldByName(QStringLiteral("User_No"))->asString(), QStringLiteral("MINE"));
        }
    }

    void failedReadsRaiseTheDatabasesMessageNeverAnEmptyTable()
    {
        if (!setUpDb())
            QSKIP("PostgreSQL test server not available");
        addUsers(30);
        TestDb::exec(m_conn, QStringLiteral("INSERT INTO dbo.Group_File (GroupID, GroupName) VALUES ('G1', 'ONE')"));
        auto groups = std::make_unique<TableView>(QStringLiteral("Group_File"), m_db.get());
        groups->setTableName(QStringLiteral("dbo.Group_File"));
        groups->setFieldDefs(Schema::table(QStringLiteral("Group_File"))->columns);
        auto users = userTable(m_db.get());
        users->setBlockSize(5);
        users->open();
        users->last(); // rows at the end read, the ones before them not yet
        QCOMPARE(users->fieldByName(QStringLiteral("User_No"))->asString(), QStringLiteral("U0029"));

        TestDb::exec(m_conn, QStringLiteral("ALTER TABLE Group_File RENAME TO Group_Gone"));
        TestDb::exec(m_conn, QStringLiteral("ALTER TABLE User_File RENAME TO User_Gone"));

        // Opening: the driver's message, the dataset stays closed.
        QVERIFY(!messageOf([&] { groups->open(); }).isEmpty());
        QVERIFY(!groups->isActive());

        // The open dataset: every further read raises, and the record shown
        // stays where it was.
        QVERIFY(!messageOf([&] { users->moveBy(-10); }).isEmpty());
        QVERIFY(!messageOf([&] { users->recordCount(); }).isEmpty());
        QVERIFY(!messageOf([&] { users->locate(QStringLiteral("User_No"), QStringLiteral("U0003")); }).isEmpty());
        QVERIFY(!messageOf([&] { users->refresh(); }).isEmpty());
        QVERIFY(!messageOf([&] {
                    users->close();
                    users->open();
                }).isEmpty());
        QVERIFY(!users->isActive());

        // Back in place, the same datasets read again.
        TestDb::exec(m_conn, QStringLiteral("ALTER TABLE Group_Gone RENAME TO Group_File"));
        TestDb::exec(m_conn, QStringLiteral("ALTER TABLE User_Gone RENAME TO User_File"));
        groups->open();
        QCOMPARE(groups->recordCount(), 1);
        users->open();
        QCOMPARE(users->recordCount(), 30);
    }

    void aDamagedFileFailsTheNextBlockInsteadOfEndingTheTable()
    {
        if (!isSqlite())
            QSKIP("a damaged file is an SQLite case");
        const QString file = QStringLiteral("damaged%1.db").arg(++m_serial);
        m_conn = TestDb::freshSqlite(m_dir.path(), file);
        // Long names spread the rows over many pages of the file.
        TestDb::exec(m_conn, QStringLiteral(
                                 "INSERT INTO User_File (User_No, Full_Name, Authority) "
                                 "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i + 1 < 400) "
                                 "SELECT printf('U%04d', i), 'NAME', printf('%0500d', i) FROM n"));
        DbConnection db;
        db.setParams(m_conn, {}, {});
        auto users = userTable(&db);
        users->setBlockSize(5);
        users->open();
        QCOMPARE(users->loadedCount(), 5);

        // Every page past the first ones overwritten.
        QFile f(QDir(m_dir.path()).filePath(file));
        QVERIFY(f.open(QIODevice::ReadWrite));
        const qint64 size = f.size();
        QVERIFY(size > 100000);
        f.seek(32768);
        f.write(QByteArray(size - 32768, '\xA5'));
        f.close();

        QString message;
        int read = 0;
        try {
            while (!users->allLoaded())
                read += users->fetchMore();
        } catch (const VoxError &e) {
            message = e.message();
        }
        QVERIFY2(!message.isEmpty(), qPrintable(QStringLiteral("%1 rows read, then the end").arg(read)));
        QVERIFY(!users->allLoaded());
        QVERIFY(users->loadedCount() < 400);
    }

    void aRestartedServerIsConnectedAgainByTheNextOperation()
    {
        QFETCH_GLOBAL(QString, backend);
        if (backend != QLatin1String("postgresql"))
            QSKIP("needs a server to restart");
        if (qEnvironmentVariable("VOX_TEST_PG_CTL").isEmpty())
            QSKIP("PostgreSQL test server not available");
        if (!setUpDb())
            QSKIP("PostgreSQL test server not available");
        addUsers(3);
        auto users = userTable(m_db.get());
        users->open();
        const int firstLink = m_db->generation();

        // After the link broke, an operation may fail with the driver's
        // message; the one after it connects again and works.
        auto worksAgain = [&] {
            bool failed = false;
            try {
                users->refresh();
            } catch (const VoxError &) {
                failed = true;
            }
            if (failed) {
                users->close();
                users->open();
            }
            users->edit();
            users->fieldByName(QStringLiteral("Full_Name"))->setValue(QStringLiteral("AFTER %1").arg(m_db->generation()));
            users->post();
            QCOMPARE(users->recordCount(), 3);
        };

        pgCtl({QStringLiteral("restart"), QStringLiteral("-m"), QStringLiteral("fast")});
        if (QTest::currentTestFailed())
            return; // the server did not come back: nothing below can run
        {
            // Something other than a dataset meets the broken link first:
            // the driver then reports it in words of its own ("...the
            // connection lost"), which must not matter.
            QSqlQuery other(m_db->database());
            QVERIFY(!other.exec(QStringLiteral("SELECT 1")));
        }
        worksAgain();
        QVERIFY(m_db->generation() > firstLink);

        // An administrator ends the session.
        const int secondLink = m_db->generation();
        const QString db = m_conn.section(QStringLiteral("DATABASE="), 1).section(QLatin1Char(';'), 0, 0);
        TestDb::exec(m_conn, QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                                            "WHERE datname = ? AND pid <> pg_backend_pid()"),
                     {db});
        worksAgain();
        QVERIFY(m_db->generation() > secondLink);
        QCOMPARE(TestDb::scalar(m_conn, QStringLiteral("SELECT COUNT(*) FROM dbo.User_File WHERE Full_Name LIKE 'AFTER%'"))
                     .toInt(),
                 1);
    }
};

VOX_TEST_MAIN(TestDbConnection)
#include "tst_dbconnection.moc"
