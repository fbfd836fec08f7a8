#include "core/VoxError.h"
#include "db/AdminData.h"
#include "shell/LoginForm.h"
#include "shell/MainForm.h"
#include "support/FakeDialogs.h"
#include "support/TcpProxy.h"
#include "support/TestDb.h"
#include "support/TestFiles.h"
#include "support/TestMain.h"
#include "support/Typing.h"

#include <QAction>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>

// The administrator login against the user table, on every engine.
class TestLoginForm : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_conn;
    std::unique_ptr<ScopedCurrentDir> m_current;

    void addUser(const QString &no, const QString &password, const QString &authority, int admin)
    {
        TestDb::exec(m_conn,
                     QStringLiteral("INSERT INTO dbo.User_File (User_No, User_Password, Authority, AdminUser) VALUES (?, ?, ?, ?)"),
                     {no, password, authority, admin});
    }

    // Fills the form as the operator would and presses OK.
    void login(Tloginform &form, const QString &user, const QString &password)
    {
        form.Edit1->clear();
        form.Edit2->clear();
        typeKeys(form.Edit1, user);
        typeKeys(form.Edit2, password);
        QVERIFY(form.BitBtn1->isEnabled());
        QTest::mouseClick(form.BitBtn1, Qt::LeftButton);
    }

private slots:
    void initTestCase_data() { VOX_DB_BACKENDS(); }
    void cleanup() { m_current.reset(); }

    void init()
    {
        QFETCH_GLOBAL(QString, backend);
        m_conn = TestDb::freshFor(backend, m_dir.path());
        if (m_conn.isEmpty())
            QSKIP("PostgreSQL test server not available");
        TestDb::writeVoxIni(m_dir.path(), m_conn);
        m_current = std::make_unique<ScopedCurrentDir>(m_dir.path());
        addUser(QStringLiteral("RISK01"), QStringLiteral("risk"), QStringLiteral("Risk Management\r\n"), 0);
        addUser(QStringLiteral("LOGIN01"), QStringLiteral("Secret"), QStringLiteral("Trade Enquiry\r\nlogin management\r\n"), 0);
        addUser(QStringLiteral("ADM"), QStringLiteral("adm"), QString(), 9);
        addUser(QStringLiteral("ADM2"), QStringLiteral("adm2"), QStringLiteral("Administrator\r\n"), 9);
        addUser(QStringLiteral("FAKEADM"), QStringLiteral("x"), QStringLiteral("Administrator\r\n"), 0);
        addUser(QStringLiteral("BLANK"), QStringLiteral("b"), QStringLiteral("Risk Management \r\n"), 0);
    }

    void refusalsKeepTheWindowOpen()
    {
        FakeDialogs dialogs;
        TAdminData data;
        data.DataModuleCreate();
        Tloginform form;
        form.show();

        login(form, QStringLiteral("nobody"), QStringLiteral("x"));
        QCOMPARE(dialogs.lastText(), QStringLiteral("Invalid login user name!"));
        QVERIFY(form.rights().isEmpty());
        QVERIFY(form.isVisible());

        // Same letters, other case: refused.
        login(form, QStringLiteral("login01"), QStringLiteral("secret"));
        QCOMPARE(dialogs.lastText(), QStringLiteral("Invalid login user Password!"));
        // Trailing blanks typed are not the column's padding.
        login(form, QStringLiteral("login01"), QStringLiteral("Secret "));
        QCOMPARE(dialogs.lastText(), QStringLiteral("Invalid login user Password!"));

        login(form, QStringLiteral("FAKEADM"), QStringLiteral("x"));
        QCOMPARE(dialogs.lastText(), QStringLiteral("Login user is not allowed not use this tool!"));
        login(form, QStringLiteral("BLANK"), QStringLiteral("b"));
        QCOMPARE(dialogs.lastText(), QStringLiteral("Login user is not allowed not use this tool!"));
        QVERIFY(!form.accepted());
        QVERIFY(form.isVisible());
        QCOMPARE(form.Edit1->text(), QStringLiteral("BLANK"));

        // The padded password column matches the password typed bare, and
        // a lower-case right name admits.
        login(form, QStringLiteral("login01"), QStringLiteral("Secret"));
        QVERIFY(form.accepted());
        QVERIFY(!form.isVisible());
        QCOMPARE(form.rights(), (QStringList{QStringLiteral("Trade Enquiry"), QStringLiteral("login management")}));
        QCOMPARE(data.Query_User->sql(), QStringLiteral("SELECT * FROM User_File WHERE User_No=:MPARAMS"));
        QCOMPARE(data.Query_User->param(QStringLiteral("MPARAMS")).toString(), QStringLiteral("LOGIN01"));
    }

    void edgeUserNumbersAndPasswords_data()
    {
        QTest::addColumn<QString>("stored");   // user number in the table; empty: none added
        QTest::addColumn<QString>("password"); // as stored and typed
        QTest::addColumn<QString>("typed");    // user number typed
        QTest::addColumn<QString>("refusal");  // empty: admitted
        const auto l1 = [](const char *text) { return QString::fromLatin1(text); };
        QTest::newRow("quotes and bar") << l1("O'N\"|") << l1("p'\"|;--") << l1("o'n\"|") << "";
        QTest::newRow("8-bit") << l1("\xc9T\xc9") << l1("caf\xe9\xa0\xb5") << l1("\xe9t\xe9") << "";
        // No 8-bit capital: typed as stored, not turned into "SS" or "\u0178".
        QTest::newRow("8-bit without capital") << l1("\xdf\xff\xb5") << l1("x") << l1("\xdf\xff\xb5") << "";
        QTest::newRow("at the widths") << l1("ABCDEFGH") << l1("0123456789") << l1("abcdefghij") << "";
        QTest::newRow("sql in the user number") << QString() << l1("x") << l1("X' OR '1'='1")
                                                << "Invalid login user name!";
    }

    void edgeUserNumbersAndPasswords()
    {
        QFETCH(QString, stored);
        QFETCH(QString, password);
        QFETCH(QString, typed);
        QFETCH(QString, refusal);
        if (!stored.isEmpty())
            addUser(stored, password, QStringLiteral("Risk Management\r\n"), 0);
        FakeDialogs dialogs;
        TAdminData data;
        data.DataModuleCreate();
        Tloginform form;
        form.show();
        login(form, typed, password);
        if (refusal.isEmpty()) {
            QVERIFY2(dialogs.entries.isEmpty(), qPrintable(dialogs.lastText()));
            QVERIFY(form.accepted());
            QCOMPARE(form.Edit1->text(), stored);
        } else {
            QCOMPARE(dialogs.texts(), QStringList{refusal});
            QVERIFY(!form.accepted());
        }
    }

    void supervisorsGetTheAdministratorRight()
    {
        FakeDialogs dialogs;
        TAdminData data;
        data.DataModuleCreate();
        {
            Tloginform form;
            form.show();
            login(form, QStringLiteral("adm"), QStringLiteral("adm"));
            QVERIFY(form.accepted());
            QCOMPARE(form.rights(), QStringList{QStringLiteral("Administrator")});
        }
        {
            Tloginform form;
            form.show();
            login(form, QStringLiteral("ADM2"), QStringLiteral("adm2"));
            QCOMPARE(form.rights(), (QStringList{QStringLiteral("Administrator"), QStringLiteral("Administrator")}));
        }
        // The main window enables the supervisor's three actions.
        ShellServices services;
        services.formCreate = [] {};
        TMainForm main(services);
        main.checkprofile(QStringList{QStringLiteral("Administrator")});
        QVERIFY(main.UserAction->isEnabled());
        QVERIFY(main.GroupAction->isEnabled());
        QVERIFY(main.NewCustAction->isEnabled());
        QVERIFY(!main.SecurityAction->isEnabled());
        QVERIFY(dialogs.entries.isEmpty());
    }

    void loginNamesTheAuditedOperatorOrSaysChangesAreNotAudited()
    {
        FakeDialogs dialogs;
        TAdminData data;
        data.DataModuleCreate();
        {
            Tloginform form;
            form.show();
            login(form, QStringLiteral("RISK01"), QStringLiteral("risk"));
            QVERIFY(form.accepted());
        }
        QCOMPARE(data.Audit->operatorNo(), QStringLiteral("RISK01"));
        QVERIFY(dialogs.entries.isEmpty());

        // An older database: the login goes through, with one notice.
        data.Database1->close();
        TestDb::exec(m_conn, QStringLiteral("DROP TABLE dbo.Admin_Audit"));
        Tloginform form;
        form.show();
        login(form, QStringLiteral("LOGIN01"), QStringLiteral("Secret"));
        QVERIFY(form.accepted());
        QCOMPARE(dialogs.entries.size(), 1);
        QCOMPARE(dialogs.lastText(), QString::fromLatin1(AuditTrail::NotAuditedMessage));
    }

    void typingRules()
    {
        Tloginform form;
        form.show();
        QVERIFY(!form.BitBtn1->isEnabled());
        QTest::keyClicks(form.Edit1, QStringLiteral("abcdefghij"));
        QCOMPARE(form.Edit1->text(), QStringLiteral("ABCDEFGH"));
        QVERIFY(!form.BitBtn1->isEnabled());
        QTest::keyClicks(form.Edit2, QStringLiteral("p"));
        QVERIFY(form.BitBtn1->isEnabled());
        QCOMPARE(form.Edit2->echoMode(), QLineEdit::Password);
        form.Edit1->clear();
        QVERIFY(!form.BitBtn1->isEnabled());
        QVERIFY(form.BitBtn1->isDefault());
        // Escape is Cancel: the login ends without acceptance.
        QTest::keyClick(&form, Qt::Key_Escape);
        QVERIFY(!form.accepted());
        QVERIFY(!form.isVisible());
    }

    void databaseDownAtStartUpAtLogin()
    {
        QFETCH_GLOBAL(QString, backend);
        FakeDialogs dialogs;
        std::unique_ptr<TcpProxy> proxy;
        QString conn = m_conn;
        QString lateDb;
        if (backend == QLatin1String("postgresql")) {
            const int port = QRegularExpression(QStringLiteral("PORT=(\\d+)")).match(m_conn).captured(1).toInt();
            proxy = std::make_unique<TcpProxy>(quint16(port));
            proxy->start();
            conn.replace(QRegularExpression(QStringLiteral("PORT=\\d+")), QStringLiteral("PORT=%1").arg(proxy->port()));
            proxy->stop();
        } else {
            // A database in a folder that does not exist yet.
            lateDb = m_dir.filePath(QStringLiteral("later/vox.db"));
            conn = QStringLiteral("DRIVER={SQLite3};Database=%1;Timeout=5000;StepAPI=1").arg(lateDb);
        }
        TestDb::writeVoxIni(m_dir.path(), conn);

        TAdminData data;
        try {
            data.DataModuleCreate();
            QFAIL("connected to a database that is down");
        } catch (const VoxError &e) {
            QCOMPARE(e.message(), QStringLiteral("Database connection problem. Please check setting!"));
        }
        Tloginform form;
        form.show();
        login(form, QStringLiteral("RISK01"), QStringLiteral("risk"));
        QVERIFY(!form.accepted());
        QCOMPARE(dialogs.entries.size(), 1);

        // The database comes up: the next OK connects and logs in.
        if (proxy) {
            proxy->start();
        } else {
            QDir(m_dir.path()).mkpath(QStringLiteral("later"));
            QFile::copy(QRegularExpression(QStringLiteral("Database=([^;]+)")).match(m_conn).captured(1), lateDb);
        }
        login(form, QStringLiteral("RISK01"), QStringLiteral("risk"));
        QVERIFY(form.accepted());
        QCOMPARE(form.rights(), QStringList{QStringLiteral("Risk Management")});

        // A connection lost mid-session is taken up again by the next query.
        if (proxy) {
            proxy->stop();
            data.Query_alluser->close();
            QVERIFY_THROWS_EXCEPTION(VoxError, data.Query_alluser->open());
            proxy->start();
            data.Query_alluser->open();
            QVERIFY(data.Query_alluser->recordCount() >= 6);
        }
    }
};

VOX_TEST_MAIN(TestLoginForm)
#include "tst_loginform.moc"
