#include "db/AuditLog.h"
#include "db/AuditTrail.h"
#include "db/Field.h"
#include "shell/AuditForm.h"
#include "support/DataModuleFixture.h"
#include "support/TestMain.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>

// The Audit Trail window on a test database: newest first, narrowed by what
// the supervisor types, exported, and an older database without the table.
class TestAuditForm : public QObject
{
    Q_OBJECT

    std::unique_ptr<DataModuleFixture> m_fx;

    // A change of a user's name by ADMIN, then a command sent by RISK01.
    void seed()
    {
        AuditTrail &audit = *m_fx->data->Audit;
        audit.setOperator(QStringLiteral("ADMIN"));
        audit.recordChange(AuditTrail::Change::Update, QStringLiteral("User_File"), QStringLiteral("D001"),
                           {{QStringLiteral("Full_Name"), QStringLiteral("OLD, NAME"), QStringLiteral("NEW \"NAME\"")}});
        audit.setOperator(QStringLiteral("RISK01"));
        audit.recordCommand(QStringLiteral("set|SUSPEND||ORD|10|100005|"), QStringLiteral("VOX_RISKMAN"),
                            QStringLiteral("confirmed"));
    }

    static QStringList shown(TAuditForm &form, const QString &column)
    {
        QStringList values;
        for (form.Entries->first(); !form.Entries->eof(); form.Entries->next())
            values << form.Entries->fieldByName(column)->asString();
        return values;
    }

private slots:
    void initTestCase_data() { VOX_DB_BACKENDS(); }
    void init() { VOX_FIXTURE_SET_UP(m_fx, DataModuleFixture); }
    void cleanup() { m_fx.reset(); }

    void entriesAreShownNewestFirstAndNarrowedByWhatIsTyped()
    {
        seed();
        TAuditForm form;
        QCOMPARE(shown(form, QStringLiteral("User_No")), (QStringList{"RISK01", "ADMIN"}));
        QCOMPARE(shown(form, QStringLiteral("Change_Kind")), (QStringList{"COMMAND", "UPDATE"}));

        form.OperatorEdit->setText(QStringLiteral("ADMIN"));
        form.SearchClick();
        QCOMPARE(shown(form, QStringLiteral("Record_Key")), QStringList{"D001"});

        // Typed text is a value, never a pattern or SQL.
        form.OperatorEdit->clear();
        form.KeyEdit->setText(QStringLiteral("D0_1"));
        form.SearchClick();
        QCOMPARE(shown(form, QStringLiteral("Record_Key")), QStringList());
        form.KeyEdit->setText(QStringLiteral("' OR '1'='1"));
        form.SearchClick();
        QCOMPARE(shown(form, QStringLiteral("Record_Key")), QStringList());

        form.KeyEdit->clear();
        form.TableCombo->setCurrentText(QStringLiteral("User_File"));
        form.SearchClick();
        QCOMPARE(shown(form, QStringLiteral("Column_Name")), QStringList{"Full_Name"});
        QVERIFY(m_fx->dialogs->texts().isEmpty());
    }

    void edgeKeysAndOperatorsAreFoundAsTyped_data()
    {
        QTest::addColumn<QString>("operatorNo");
        QTest::addColumn<QString>("key");
        const auto l1 = [](const char *text) { return QString::fromLatin1(text); };
        QTest::newRow("key at the width") << l1("K100") << QString(100, QLatin1Char('K'));
        QTest::newRow("quotes, bar and line ends") << l1("Q'\"|") << l1("O'B \"1\" | 2\r\n3");
        QTest::newRow("8-bit operator and key") << l1("\xc9'|\xdf\xff\xb5\xa0X") << l1("\xe9\xdf\xff");
        QTest::newRow("pattern characters") << l1("A%_") << l1("%_*?[");
    }

    void edgeKeysAndOperatorsAreFoundAsTyped()
    {
        QFETCH(QString, operatorNo);
        QFETCH(QString, key);
        seed();
        AuditTrail &audit = *m_fx->data->Audit;
        audit.setOperator(operatorNo);
        audit.recordChange(AuditTrail::Change::Update, QStringLiteral("customer_file"), key,
                           {{QStringLiteral("Chn_Name"), QStringLiteral("A"), key}});
        TAuditForm form;
        form.OperatorEdit->setText(operatorNo);
        form.SearchClick();
        QCOMPARE(shown(form, QStringLiteral("Record_Key")), QStringList{key});
        form.OperatorEdit->clear();
        form.KeyEdit->setText(key);
        form.SearchClick();
        QCOMPARE(shown(form, QStringLiteral("User_No")), QStringList{operatorNo});
        QCOMPARE(shown(form, QStringLiteral("New_Value")), QStringList{key});
        QVERIFY(m_fx->dialogs->texts().isEmpty());
    }

    void exportWritesWhatTheCriteriaSelect()
    {
        seed();
        TAuditForm form;
        form.OperatorEdit->setText(QStringLiteral("ADMIN"));
        form.ExportClick();
        const QString path = QDir::current().absoluteFilePath(QStringLiteral("audit.csv"));
        QCOMPARE(m_fx->dialogs->texts(QStringLiteral("information")),
                 QStringList{QStringLiteral("1 audit entries written to %1.").arg(path)});
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray content = file.readAll();
        const QList<QByteArray> lines = content.split('\n');
        QVERIFY(lines.size() >= 2);
        QVERIFY(lines.at(0).contains("User_No") || lines.at(0).contains("Operator"));
        QVERIFY2(lines.at(1).contains("ADMIN") && lines.at(1).contains("\"OLD, NAME\"")
                     && lines.at(1).contains("\"NEW \"\"NAME\"\"\""),
                 lines.at(1).constData());
        QVERIFY(!content.contains("RISK01"));
    }

    void anOlderDatabaseSaysThereIsNoTrail()
    {
        QFETCH_GLOBAL(QString, backend);
        m_fx.reset();
        m_fx = std::make_unique<DataModuleFixture>();
        QVERIFY(m_fx->setUp(backend, [this] {
            TestDb::exec(m_fx->conn, QStringLiteral("DROP TABLE dbo.Admin_Audit"));
        }));
        TAuditForm form;
        QCOMPARE(m_fx->dialogs->texts(QStringLiteral("information")),
                 QStringList{QString::fromLatin1(AuditTrail::NotAuditedMessage)});
        QVERIFY(!form.Entries->isActive());
    }
};

VOX_TEST_MAIN(TestAuditForm)
#include "tst_auditform.moc"
