#include "LoginsFixture.h"
#include "logins/Entitle.h"
#include "support/TestMain.h"

#include <QAccessible>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>

// Entitlement Management against a test database: the lists built from the
// catalogue and the grants, and saves that replace the grants of one kind.
class TestEntitle : public QObject
{
    Q_OBJECT

    std::unique_ptr<LoginsFixture> fx;
    QPointer<TEntitle> form;

    static QStringList items(const QListWidget *list)
    {
        QStringList out;
        for (int i = 0; i < list->count(); ++i)
            out << list->item(i)->text();
        return out;
    }

    void search(const QString &number, bool user)
    {
        form->Edit1->setText(number);
        (user ? form->UserBox : form->AccountBox)->setChecked(true);
        QTest::mouseClick(form->Button6, Qt::LeftButton);
    }

    void pick(QListWidget *list, const QString &text, QPushButton *button)
    {
        const auto found = list->findItems(text, Qt::MatchExactly);
        QVERIFY2(!found.isEmpty(), qPrintable(text));
        list->setCurrentItem(found.first());
        QTest::mouseClick(button, Qt::LeftButton);
    }

    // EntitlementID, UserType, Enabled, ExpireDate of number, in id order.
    QList<QStringList> grants(const QString &number)
    {
        return TestDb::rows(fx->conn,
                            QStringLiteral("SELECT EntitlementID, UserType, Enabled, ExpireDate FROM AccountEntitle "
                                           "WHERE Account = ? ORDER BY UserType, EntitlementID"),
                            {number});
    }

private slots:
    void initTestCase_data() { VOX_DB_BACKENDS(); }

    void init()
    {
        VOX_FIXTURE_SET_UP(fx, LoginsFixture);
        fx->addUser(QStringLiteral("D1"));
        fx->addUser(QStringLiteral("100001"));
        fx->addCustomer(QStringLiteral("100001"), QStringLiteral("CHAN TAI MAN"));
        fx->addCustomer(QStringLiteral("100002"), QStringLiteral("WONG"));
        fx->addCatalogue(3, QStringLiteral("TWM"), QStringLiteral("TWM Phone Trading"));
        fx->addCatalogue(1, QStringLiteral("HKEX"), QStringLiteral("Hong Kong Market"));
        fx->addCatalogue(2, QStringLiteral("ITRADE"), QStringLiteral("Internet Trading"));
        fx->addCatalogue(4, QStringLiteral("US"), QStringLiteral("US market"));
        fx->addCatalogue(5, QStringLiteral("USX"), QStringLiteral("US Market"));
        form = new TEntitle;
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form));
    }

    void cleanup()
    {
        if (form)
            form->close();
        QTest::qWait(10);
        fx.reset();
    }

    void listsFollowTheGrantsOfTheChosenKind()
    {
        fx->addGrant(QStringLiteral("100001"), 1, QStringLiteral("ITRADE"));
        fx->addGrant(QStringLiteral("100001"), 1, QStringLiteral("ITRADE"));
        fx->addGrant(QStringLiteral("100001"), 1, QStringLiteral("US"));
        fx->addGrant(QStringLiteral("100001"), 1, QStringLiteral("GONE"));
        fx->addGrant(QStringLiteral("100001"), 0, QStringLiteral("TWM"));

        search(QStringLiteral("100001"), false);
        QCOMPARE(fx->dialogs->entries.size(), 0);
        // A grant stored twice is listed twice; one outside the catalogue
        // shows its id; "US Market" differs from "US market" only in case.
        QStringList held = items(form->Memo2);
        held.sort();
        QCOMPARE(held, (QStringList{"GONE", "Internet Trading", "Internet Trading", "US market"}));
        QCOMPARE(items(form->Memo1), (QStringList{"Hong Kong Market", "TWM Phone Trading"}));

        search(QStringLiteral("100001"), true);
        QCOMPARE(items(form->Memo2), QStringList{"TWM Phone Trading"});
        QCOMPARE(items(form->Memo1), (QStringList{"Hong Kong Market", "Internet Trading", "US market", "US Market"}));
    }

    void listsKeepCatalogueOrderAndMoveOneEntryAtATime()
    {
        fx->addCatalogue(6, QStringLiteral("ASIA"), QStringLiteral("Asia Pacific"));
        form->FormShow();
        search(QStringLiteral("100002"), false);
        QCOMPARE(items(form->Memo1), (QStringList{"Hong Kong Market", "Internet Trading", "TWM Phone Trading",
                                                  "US market", "US Market", "Asia Pacific"}));
        pick(form->Memo1, QStringLiteral("US Market"), form->Button1);
        pick(form->Memo1, QStringLiteral("Asia Pacific"), form->Button1);
        pick(form->Memo1, QStringLiteral("Hong Kong Market"), form->Button1);
        QCOMPARE(items(form->Memo2), (QStringList{"US Market", "Asia Pacific", "Hong Kong Market"}));
        pick(form->Memo2, QStringLiteral("US Market"), form->Button2);
        QCOMPARE(items(form->Memo1),
                 (QStringList{"Internet Trading", "TWM Phone Trading", "US market", "US Market"}));

        // A control-click on a second entry selects it alone; there is no
        // "Select All".
        auto click = [&](int row, Qt::KeyboardModifiers modifiers) {
            QTest::mouseClick(form->Memo1->viewport(), Qt::LeftButton, modifiers,
                              form->Memo1->visualItemRect(form->Memo1->item(row)).center());
        };
        click(0, Qt::NoModifier);
        click(1, Qt::ControlModifier);
        QCOMPARE(form->Memo1->selectedItems().size(), 1);
        QStringList captions;
        for (const QPushButton *b : form->findChildren<QPushButton *>())
            captions << b->text();
        captions.sort();
        QCOMPARE(captions, (QStringList{"&Close", "&Search", "Remove", "Remove All", "S&ave", "Select"}));
        // Assistive tools find the number and the lists by name.
        for (QWidget *input : {static_cast<QWidget *>(form->Edit1), static_cast<QWidget *>(form->Memo1),
                               static_cast<QWidget *>(form->Memo2)})
            QVERIFY(!QAccessible::queryAccessibleInterface(input)->text(QAccessible::Name).isEmpty());
    }

    void unknownNumberEmptiesTheLists()
    {
        search(QStringLiteral("100001"), false);
        QVERIFY(form->Memo1->count() > 0);
        search(QStringLiteral("100002"), true); // an account, not a dealer
        QCOMPARE(fx->dialogs->texts(QStringLiteral("report")),
                 QStringList{"No such account or user defined in the system."});
        QCOMPARE(form->Memo1->count(), 0);
        QCOMPARE(form->Memo2->count(), 0);
    }

    void edgeNumbersAreGrantedExactly_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<bool>("user");
        const auto l1 = [](const char *text) { return QString::fromLatin1(text); };
        QTest::newRow("account at the width, quote, bar, 8-bit") << l1("O'B\xe9|\xdf\xff\"234567890123") << false;
        QTest::newRow("dealer with quote and 8-bit") << l1("D'\xb5\xa0") << true;
    }

    void edgeNumbersAreGrantedExactly()
    {
        QFETCH(QString, number);
        QFETCH(bool, user);
        QCOMPARE(number.size() <= 20, true);
        if (user)
            fx->addUser(number);
        else
            fx->addCustomer(number, QStringLiteral("EDGE"));
        search(number, user);
        QVERIFY2(fx->dialogs->entries.isEmpty(), qPrintable(fx->dialogs->lastText()));
        pick(form->Memo1, QStringLiteral("Hong Kong Market"), form->Button1);
        QTest::mouseClick(form->Button5, Qt::LeftButton);
        QVERIFY2(fx->dialogs->entries.isEmpty(), qPrintable(fx->dialogs->lastText()));
        QCOMPARE(grants(number), (QList<QStringList>{{"HKEX", user ? "0" : "1", "1", ""}}));
        QCOMPARE(fx->count(QStringLiteral("SELECT COUNT(*) FROM AccountEntitle")), 1);
    }

    void searchTextsAreValuesNeverSql_data()
    {
        QTest::addColumn<QString>("number");
        QTest::newRow("sql") << "' OR '1'='1";
        QTest::newRow("pattern") << "1000%";
        QTest::newRow("line end") << "100001\n";
        QTest::newRow("beyond the width") << "100001               X";
    }

    void searchTextsAreValuesNeverSql()
    {
        QFETCH(QString, number);
        fx->addGrant(QStringLiteral("100001"), 1, QStringLiteral("US"));
        search(number, false);
        QCOMPARE(fx->dialogs->texts(QStringLiteral("report")),
                 QStringList{"No such account or user defined in the system."});
        QCOMPARE(form->Memo2->count(), 0);
        QTest::mouseClick(form->Button5, Qt::LeftButton);
        QCOMPARE(grants(QStringLiteral("100001")), (QList<QStringList>{{"US", "1", "1", ""}}));
    }

    void saveReplacesOnlyTheChosenKind()
    {
        fx->addGrant(QStringLiteral("100001"), 1, QStringLiteral("US"));
        fx->addGrant(QStringLiteral("100001"), 1, QStringLiteral("GONE"));
        fx->addGrant(QStringLiteral("100001"), 0, QStringLiteral("TWM"));
        search(QStringLiteral("100001"), false);
        pick(form->Memo1, QStringLiteral("Hong Kong Market"), form->Button1);
        pick(form->Memo2, QStringLiteral("US market"), form->Button2);
        QCOMPARE(items(form->Memo1).last(), QStringLiteral("US market"));
        // Nothing selected: nothing moves.
        form->Memo1->clearSelection();
        QTest::mouseClick(form->Button1, Qt::LeftButton);
        QCOMPARE(form->Memo2->count(), 2);

        QTest::mouseClick(form->Button5, Qt::LeftButton);
        QCOMPARE(fx->dialogs->texts(QStringLiteral("report")), QStringList{});
        QCOMPARE(grants(QStringLiteral("100001")),
                 (QList<QStringList>{{"TWM", "0", "1", ""}, {"GONE", "1", "1", ""}, {"HKEX", "1", "1", ""}}));

        // A second save writes the same grants again.
        QTest::mouseClick(form->Button5, Qt::LeftButton);
        QCOMPARE(grants(QStringLiteral("100001")).size(), 3);

        // Remove All, then Save, with the kind switched after the search.
        QTest::mouseClick(form->Button3, Qt::LeftButton);
        QCOMPARE(form->Memo2->count(), 0);
        QCOMPARE(form->Memo1->count(), 5);
        form->UserBox->setChecked(true);
        QTest::mouseClick(form->Button5, Qt::LeftButton);
        QCOMPARE(grants(QStringLiteral("100001")), (QList<QStringList>{{"GONE", "1", "1", ""}, {"HKEX", "1", "1", ""}}));
    }

    void failedRowRestoresTheGrants()
    {
        // The database refuses an entitlement held under both kinds.
        TestDb::exec(fx->conn, QStringLiteral("CREATE UNIQUE INDEX ae_once ON AccountEntitle (Account, EntitlementID)"));
        fx->addGrant(QStringLiteral("100001"), 1, QStringLiteral("US"));
        fx->addGrant(QStringLiteral("100001"), 0, QStringLiteral("TWM"));
        search(QStringLiteral("100001"), false);
        pick(form->Memo1, QStringLiteral("Hong Kong Market"), form->Button1);
        pick(form->Memo1, QStringLiteral("TWM Phone Trading"), form->Button1);
        QTest::mouseClick(form->Button5, Qt::LeftButton);
        QCOMPARE(fx->dialogs->texts(QStringLiteral("report")), QStringList{"This record already exists!"});
        QCOMPARE(grants(QStringLiteral("100001")), (QList<QStringList>{{"TWM", "0", "1", ""}, {"US", "1", "1", ""}}));
    }
};

VOX_TEST_MAIN(TestEntitle)
#include "tst_entitle.moc"
