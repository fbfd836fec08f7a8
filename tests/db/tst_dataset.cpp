#include "core/VoxError.h"
#include "db/AdminData.h"
#include "db/DbConnection.h"
#include "db/RowWrite.h"
#include "db/Schema.h"
#include "db/TableView.h"
#include "support/TestDb.h"
#include "support/TestMain.h"

#include <QSignalSpy>
#include <QTemporaryDir>

// The dataset engine against real databases, once per engine.
class TestDataset : public QObject
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

    std::unique_ptr<TableView> userTable() { return TestDb::userTable(m_db.get()); }

    void addUsers(int n)
    {
        for (int i = 0; i < n; ++i)
            TestDb::exec(m_conn, QStringLiteral("INSERT INTO dbo.User_File (User_No, Full_Name, User_Group, AdminUser) VALUES (?, ?, ?, ?)"),
                         {QStringLiteral("U%1").arg(i, 4, 10, QLatin1Char('0')), QStringLiteral("NAME %1").arg(i),
                          i % 2 ? QStringLiteral("G1") : QString(), i == 0 ? 9 : 0});
    }

private slots:
    void initTestCase_data() { VOX_DB_BACKENDS(); }
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void eventsFireInTheOrderTheRulesRelyOn()
    {
        if (!setUpDb())
            QSKIP("PostgreSQL test server not available");
        addUsers(3);
        auto t = userTable();
        QStringList log;
        t->afterOpen = [&](Dataset &) { log << QStringLiteral("afterOpen"); };
        t->afterScroll = [&](Dataset &d) { log << QStringLiteral("afterScroll:") + d[QStringLiteral("User_No")]->asString(); };
        t->onNewRecord = [&](Dataset &d) { log << QStringLiteral("newRecord"); d[QStringLiteral("User_Group")]->setValue(QString()); };
        t->afterInsert = [&](Dataset &) { log << QStringLiteral("afterInsert"); };
        t->beforePost = [&](Dataset &d) {
            log << QStringLiteral("beforePost");
            // The rule runs before the required check and may fill the field.
            if (d[QStringLiteral("Full_Name")]->asString() == QLatin1String("FILL"))
                d[QStringLiteral("User_No")]->setValue(QStringLiteral("U9999"));
        };
        t->afterPost = [&](Dataset &) { log << QStringLiteral("afterPost"); };
        t->afterCancel = [&](Dataset &) { log << QStringLiteral("afterCancel"); };
        t->open();
        QCOMPARE(log, (QStringList{QStringLiteral("afterOpen"), QStringLiteral("afterScroll:U0000")}));

        log.clear();
        t->next();
        t->next();
        t->next(); // at the end: no move, no event
        QCOMPARE(log, (QStringList{QStringLiteral("afterScroll:U0001"), QStringLiteral("afterScroll:U0002")}));
        QVERIFY(t->eof());

        // A required field still empty after the before-post rule refuses
        // the post, with its display label, and no after-post fires.
        log.clear();
        QSignalSpy focus(t.get(), &Dataset::focusFieldRequested);
        t->insert();
        QCOMPARE(log, (QStringList{QStringLiteral("newRecord"), QStringLiteral("afterInsert"), QStringLiteral("afterScroll:")}));
        log.clear();
        try {
            t->post();
            QFAIL("post without a user number went through");
        } catch (const VoxError &e) {
            QCOMPARE(e.message(), QStringLiteral("Field 'User ID' must have a value"));
        }
        QCOMPARE(log, QStringList{QStringLiteral("beforePost")});
        QCOMPARE(focus.count(), 1);
        QCOMPARE(focus.first().first().toString(), QStringLiteral("User_No"));
        QCOMPARE(t->state(), Dataset::Insert);

        // The before-post rule fills it: the post goes through.
        log.clear();
        t->fieldByName(QStringLiteral("Full_Name"))->setValue(QStringLiteral("FILL"));
        t->post();
        QCOMPARE(log, (QStringList{QStringLiteral("beforePost"), QStringLiteral("afterPost")}));
        QCOMPARE(TestDb::scalar(m_conn, QStringLiteral("SELECT COUNT(*) FROM dbo.User_File WHERE User_No = 'U9999'")).toInt(), 1);

        // A write the database refuses (duplicate key): no after-post, the
        // record stays in editing and the dataset stays usable.
        log.clear();
        t->insert();
        t->fieldByName(QStringLiteral("User_No"))->setValue(QStringLiteral("U0001"));
        QVERIFY_THROWS_EXCEPTION(VoxError, t->post());
        QCOMPARE(log.filter(QStringLiteral("afterPost")).size(), 0);
        QCOMPARE(t->state(), Dataset::Insert);
        t->cancel();
        QVERIFY(log.contains(QStringLiteral("afterCancel")));
        QCOMPARE(t->state(), Dataset::Browse);
        QCOMPARE(t->recordCount(), 4);

        // Filter change and locate move the record: after scroll fires.
        log.clear();
        t->setFilter(Dataset::fieldEquals(QStringLiteral("User_Group"), QStringLiteral("G1")));
        t->setFiltered(true);
        QCOMPARE(log, QStringList{QStringLiteral("afterScroll:U0001")});
        QCOMPARE(t->recordCount(), 1);
        log.clear();
        t->setFilter(Dataset::fieldEquals(QStringLiteral("User_Group"), QString()));
        QCOMPARE(t->recordCount(), 3);
        log.clear();
        QVERIFY(t->locate(QStringLiteral("User_No"), QStringLiteral("U0002")));
        QCOMPARE(log, QStringList{QStringLiteral("afterScroll:U0002")});
        QVERIFY(!t->locate(QStringLiteral("User_No"), QStringLiteral("u0002")));
        QVERIFY(t->locate(QStringLiteral("User_No"), QStringLiteral("u0002"), Dataset::CaseInsensitive));
        QVERIFY(t->locate(QStringLiteral("Full_Name"), QStringLiteral("NAME 2"), Dataset::PartialKey));
    }

    void textsComeBackWithoutPaddingAndWriteBackWhole()
    {
        if (!setUpDb())
            QSKIP("PostgreSQL test server not available");
        const QString memo = [] {
            QString s;
            for (int i = 0; s.size() < 100000; ++i)
                s += QStringLiteral("Line %1 of a long memo\r\n").arg(i);
            return s.left(100000);
        }();
        TestDb::exec(m_conn, QStringLiteral("INSERT INTO dbo.User_File (User_No, Full_Name, User_Password, Authority) VALUES (?, ?, ?, ?)"),
                     {QStringLiteral("AB"), QStringLiteral("12345678901234567890"), QStringLiteral("pw"), memo});
        // A row with NULL in every nullable column.
        TestDb::exec(m_conn, QStringLiteral("INSERT INTO dbo.User_File (User_No) VALUES (?)"), {QStringLiteral("ZZZZZZZZ")});
        auto t = userTable();
        t->open();
        QCOMPARE(t->fieldByName(QStringLiteral("User_No"))->asString(), QStringLiteral("AB"));
        QCOMPARE(t->fieldByName(QStringLiteral("Full_Name"))->asString(), QStringLiteral("12345678901234567890"));
        QCOMPARE(t->fieldByName(QStringLiteral("User_Password"))->asString(), QStringLiteral("pw"));
        QCOMPARE(t->fieldByName(QStringLiteral("Authority"))->asString().size(), 100000);
        QCOMPARE(t->fieldByName(QStringLiteral("Authority"))->asString(), memo);
        t->next();
        QCOMPARE(t->fieldByName(QStringLiteral("User_No"))->asString(), QStringLiteral("ZZZZZZZZ"));
        for (Field *f : t->fields()) {
            if (f->name() != QLatin1String("User_No") && f->name() != QLatin1String("DateTime_Modified"))
                QVERIFY2(f->isNull(), qPrintable(f->name()));
        }
        QCOMPARE(t->fieldByName(QStringLiteral("AdminUser"))->asInteger(), 0);

        // Editing one field writes that field only, by the key; the memo
        // survives a round trip unchanged.
        t->first();
        t->edit();
        t->fieldByName(QStringLiteral("Member"))->setValue(memo);
        t->post();
        QCOMPARE(TestDb::scalar(m_conn, QStringLiteral("SELECT Member FROM dbo.User_File WHERE User_No = 'AB'")).toString(), memo);
        t->refresh();
        QCOMPARE(t->fieldByName(QStringLiteral("User_No"))->asString(), QStringLiteral("AB"));
        QCOMPARE(t->fieldByName(QStringLiteral("Member"))->asString(), memo);
    }

    void rowsAreReadInBlocksAndPositionSurvivesRefresh()
    {
        if (!setUpDb())
            QSKIP("PostgreSQL test server not available");
        addUsers(700);
        auto t = userTable();
        t->setBlockSize(100);
        QSignalSpy loaded(t.get(), &Dataset::rowsLoaded);
        t->open();
        QCOMPARE(t->loadedCount(), 100);
        QVERIFY(!t->allLoaded());
        auto current = [&] { return t->fieldByName(QStringLiteral("User_No"))->asString(); };

        QCOMPARE(t->moveBy(150), 150);
        QCOMPARE(current(), QStringLiteral("U0150"));
        QCOMPARE(t->loadedCount(), 200);
        const Dataset::Bookmark mark = t->bookmark();
        t->refresh();
        QCOMPARE(current(), QStringLiteral("U0150"));
        t->last();
        QCOMPARE(current(), QStringLiteral("U0699"));
        QVERIFY(t->eof());
        t->gotoBookmark(mark);
        QCOMPARE(current(), QStringLiteral("U0150"));
        // Moving back reads the rows before the ones read, in order.
        QCOMPARE(t->moveBy(-1000), -150);
        QVERIFY(t->bof());
        QCOMPARE(current(), QStringLiteral("U0000"));
        QCOMPARE(t->recordCount(), 700);
        QVERIFY(loaded.count() >= 2);

        // Delete removes the row from the table and moves to the next one.
        QVERIFY(t->locate(QStringLiteral("User_No"), QStringLiteral("U0010")));
        t->remove();
        QCOMPARE(current(), QStringLiteral("U0011"));
        QCOMPARE(TestDb::scalar(m_conn, QStringLiteral("SELECT COUNT(*) FROM dbo.User_File")).toInt(), 699);
    }

    void searchesOnTheKeyAreAnsweredByTheDatabase()
    {
        if (!setUpDb())
            QSKIP("PostgreSQL test server not available");
        addUsers(700);
        auto t = userTable();
        t->setBlockSize(100);
        int scrolls = 0;
        t->afterScroll = [&](Dataset &) { ++scrolls; };
        t->open();
        auto current = [&] { return t->fieldByName(QStringLiteral("User_No"))->asString(); };

        // A key the table does not hold: no rows are read, nothing moves.
        QVERIFY(t->moveBy(5) == 5);
        scrolls = 0;
        QVERIFY(!t->locate(QStringLiteral("User_No"), QStringLiteral("NOSUCH")));
        QCOMPARE(t->loadedCount(), 100);
        QCOMPARE(current(), QStringLiteral("U0005"));
        QCOMPARE(scrolls, 0);

        // A key far beyond the rows read: reading starts at it.
        QVERIFY(t->locate(QStringLiteral("User_No"), QStringLiteral("U0650")));
        QCOMPARE(current(), QStringLiteral("U0650"));
        QCOMPARE(scrolls, 1);
        QVERIFY(t->loadedCount() <= 100);
        // Neighbours on both sides are there, in key order.
        t->prior();
        QCOMPARE(current(), QStringLiteral("U0649"));
        QCOMPARE(t->moveBy(2), 2);
        QCOMPARE(current(), QStringLiteral("U0651"));
        QCOMPARE(t->moveBy(-251), -251);
        QCOMPARE(current(), QStringLiteral("U0400"));
        t->last();
        QCOMPARE(current(), QStringLiteral("U0699"));
        t->first();
        QCOMPARE(current(), QStringLiteral("U0000"));
        QVERIFY(t->bof());

        // A search on another column, or with options, still looks at every
        // row, from the first, even when only a window was read.
        QVERIFY(t->locate(QStringLiteral("User_No"), QStringLiteral("U0690")));
        QVERIFY(t->locate(QStringLiteral("Full_Name"), QStringLiteral("NAME 3")));
        QCOMPARE(current(), QStringLiteral("U0003"));
        QVERIFY(t->locate(QStringLiteral("User_No"), QStringLiteral("U0690")));
        QVERIFY(t->locate(QStringLiteral("User_No"), QStringLiteral("u0002"), Dataset::CaseInsensitive));
        QCOMPARE(current(), QStringLiteral("U0002"));
        // A failed search elsewhere leaves the record where it was.
        QVERIFY(t->locate(QStringLiteral("User_No"), QStringLiteral("U0500")));
        QVERIFY(!t->locate(QStringLiteral("Full_Name"), QStringLiteral("NOBODY")));
        QCOMPARE(current(), QStringLiteral("U0500"));

        // Editing inside a window writes the right row; the filter sees
        // every row, not only the window.
        t->edit();
        t->fieldByName(QStringLiteral("Full_Name"))->setValue(QStringLiteral("CHANGED"));
        t->post();
        QCOMPARE(TestDb::scalar(m_conn, QStringLiteral("SELECT Full_Name FROM dbo.User_File WHERE User_No = 'U0500'"))
                     .toString()
                     .trimmed(),
                 QStringLiteral("CHANGED"));
        QVERIFY(t->locate(QStringLiteral("User_No"), QStringLiteral("U0600")));
        t->setFilter(Dataset::fieldEquals(QStringLiteral("User_Group"), QStringLiteral("G1")));
        t->setFiltered(true);
        QCOMPARE(current(), QStringLiteral("U0001"));
        QCOMPARE(t->recordCount(), 350);
        QVERIFY(t->locate(QStringLiteral("User_No"), QStringLiteral("U0601")));
        QVERIFY(!t->locate(QStringLiteral("User_No"), QStringLiteral("U0600")));
        t->setFiltered(false);

        // The grid's view: reading ahead from a window goes on to the end.
        t->close();
        t->open();
        QVERIFY(t->locate(QStringLiteral("User_No"), QStringLiteral("U0550")));
        while (t->fetchMore() > 0) {
        }
        QVERIFY(t->allLoaded());
        QCOMPARE(t->loadedCount(), 150);
    }

    void editingWhileRowsAreUnreadKeepsEveryRowOnce()
    {
        if (!setUpDb())
            QSKIP("PostgreSQL test server not available");
        addUsers(40);
        auto t = userTable();
        t->setBlockSize(5);
        auto walk = [&] {
            QStringList seen;
            for (t->first(); !t->eof(); t->next())
                seen << t->fieldByName(QStringLiteral("User_No"))->asString();
            return seen;
        };
        // Every row once, in any order.
        auto expected = [](const QStringList &extra, const QStringList &gone = {}) {
            QStringList all;
            for (int i = 0; i < 40; ++i)
                all << QStringLiteral("U%1").arg(i, 4, 10, QLatin1Char('0'));
            all += extra;
            for (const QString &g : gone)
                all.removeAll(g);
            std::sort(all.begin(), all.end());
            return all;
        };
        auto sorted = [](QStringList list) {
            std::sort(list.begin(), list.end());
            return list;
        };

        // Inserted while the cursor still has rows to give: shown once.
        t->open();
        t->insert();
        t->fieldByName(QStringLiteral("User_No"))->setValue(QStringLiteral("U0020X"));
        t->post();
        QStringList seen = walk();
        QCOMPARE(sorted(seen), expected({QStringLiteral("U0020X")}));

        // Inserted at the top of a window, with keys sorting far before and
        // far after it: every row still comes once, none is lost.
        QVERIFY(t->locate(QStringLiteral("User_No"), QStringLiteral("U0030")));
        t->insert();
        t->fieldByName(QStringLiteral("User_No"))->setValue(QStringLiteral("A0000"));
        t->post();
        QVERIFY(t->locate(QStringLiteral("User_No"), QStringLiteral("U0035")));
        t->insert();
        t->fieldByName(QStringLiteral("User_No"))->setValue(QStringLiteral("Z9999"));
        t->post();
        seen = walk();
        const QStringList all = expected({QStringLiteral("U0020X"), QStringLiteral("A0000"), QStringLiteral("Z9999")});
        QCOMPARE(sorted(seen), all);
        QCOMPARE(walk(), seen);
        // Read afresh, the table is in key order.
        t->close();
        t->open();
        QCOMPARE(walk(), all);

        // Counting while a record is edited leaves the edit in place.
        QVERIFY(t->locate(QStringLiteral("User_No"), QStringLiteral("U0025")));
        t->edit();
        t->fieldByName(QStringLiteral("Full_Name"))->setValue(QStringLiteral("EDITED"));
        QCOMPARE(t->recordCount(), 43);
        t->post();
        QCOMPARE(t->fieldByName(QStringLiteral("User_No"))->asString(), QStringLiteral("U0025"));
        QCOMPARE(walk().size(), 43);

        // Deleting every row of a window at the end brings the rows before it.
        t->last();
        for (int i = 0; i < 8; ++i)
            t->remove();
        QVERIFY(!t->isEmpty());
        t->last();
        QCOMPARE(t->fieldByName(QStringLiteral("User_No"))->asString(), QStringLiteral("U0032"));
        QStringList deleted = {QStringLiteral("Z9999")};
        for (int i = 33; i < 40; ++i)
            deleted << QStringLiteral("U%1").arg(i, 4, 10, QLatin1Char('0'));
        QCOMPARE(walk(), expected({QStringLiteral("U0020X"), QStringLiteral("A0000")}, deleted));
    }

    void editsAndFiltersKeepTheRecordTheyBelongTo()
    {
        if (!setUpDb())
            QSKIP("PostgreSQL test server not available");
        addUsers(6);
        auto t = userTable();
        int cancels = 0;
        t->afterCancel = [&](Dataset &) { ++cancels; };
        t->open();
        // Delete while editing deletes the record edited, without a cancel.
        QVERIFY(t->locate(QStringLiteral("User_No"), QStringLiteral("U0003")));
        t->edit();
        t->fieldByName(QStringLiteral("Full_Name"))->setValue(QStringLiteral("GONE"));
        t->remove();
        QCOMPARE(cancels, 0);
        QCOMPARE(TestDb::scalar(m_conn, QStringLiteral("SELECT COUNT(*) FROM dbo.User_File WHERE User_No = 'U0003'")).toInt(), 0);
        QCOMPARE(t->fieldByName(QStringLiteral("User_No"))->asString(), QStringLiteral("U0004"));

        // A filter change whose implicit post is refused changes nothing.
        t->setFilter(Dataset::fieldEquals(QStringLiteral("User_Group"), QStringLiteral("G1")));
        t->edit();
        t->fieldByName(QStringLiteral("Full_Name"))->setValue(QStringLiteral("Y"));
        t->beforePost = [](Dataset &) { throw VoxError(QStringLiteral("refused")); };
        QVERIFY_THROWS_EXCEPTION(VoxError, t->setFiltered(true));
        QVERIFY(!t->isFiltered());
        QCOMPARE(t->state(), Dataset::Edit);
        QCOMPARE(t->fieldByName(QStringLiteral("User_No"))->asString(), QStringLiteral("U0004"));
        t->beforePost = nullptr;
        t->setFiltered(true);
        QCOMPARE(t->recordCount(), 2);
        QCOMPARE(TestDb::scalar(m_conn, QStringLiteral("SELECT Full_Name FROM dbo.User_File WHERE User_No = 'U0004'"))
                     .toString()
                     .trimmed(),
                 QStringLiteral("Y"));
    }

    void writesAreLocatedByTheStoredKeyAndMustFindTheirRow()
    {
        if (!setUpDb())
            QSKIP("PostgreSQL test server not available");
        addUsers(3);
        auto t = userTable();
        t->open();
        auto count = [&](const char *userNo) {
            return TestDb::scalar(m_conn, QStringLiteral("SELECT COUNT(*) FROM dbo.User_File WHERE User_No = ?"),
                                  {QString::fromLatin1(userNo)})
                .toInt();
        };

        // A changed key: the row stored under the old one is the one updated.
        QVERIFY(t->locate(QStringLiteral("User_No"), QStringLiteral("U0001")));
        t->edit();
        t->fieldByName(QStringLiteral("User_No"))->setValue(QStringLiteral("U0100"));
        t->fieldByName(QStringLiteral("Full_Name"))->setValue(QStringLiteral("RENAMED"));
        t->post();
        QCOMPARE(count("U0001"), 0);
        QCOMPARE(count("U0100"), 1);
        QCOMPARE(TestDb::rows(m_conn, QStringLiteral("SELECT Full_Name FROM dbo.User_File WHERE User_No = 'U0100'")),
                 QList<QStringList>{QStringList{QStringLiteral("RENAMED")}});
        // The next change of that record finds it under its new key.
        t->edit();
        t->fieldByName(QStringLiteral("Full_Name"))->setValue(QStringLiteral("AGAIN"));
        t->post();
        QCOMPARE(TestDb::rows(m_conn, QStringLiteral("SELECT Full_Name FROM dbo.User_File WHERE User_No = 'U0100'")),
                 QList<QStringList>{QStringList{QStringLiteral("AGAIN")}});

        // A row another console deleted: the update and the delete raise,
        // nothing is written, and the rows are read again without it.
        QVERIFY(t->locate(QStringLiteral("User_No"), QStringLiteral("U0002")));
        TestDb::exec(m_conn, QStringLiteral("DELETE FROM dbo.User_File WHERE User_No = 'U0002'"));
        int posted = 0;
        t->afterPost = [&](Dataset &) { ++posted; };
        t->edit();
        t->fieldByName(QStringLiteral("Full_Name"))->setValue(QStringLiteral("LOST"));
        QVERIFY_THROWS_EXCEPTION(RecordChangedError, t->post());
        QCOMPARE(t->state(), Dataset::Browse);
        QVERIFY(!t->locate(QStringLiteral("User_No"), QStringLiteral("U0002")));
        QCOMPARE(posted, 0);
        QCOMPARE(count("U0002"), 0);
        QVERIFY(t->locate(QStringLiteral("User_No"), QStringLiteral("U0000")));
        TestDb::exec(m_conn, QStringLiteral("DELETE FROM dbo.User_File WHERE User_No = 'U0000'"));
        QVERIFY_THROWS_EXCEPTION(RecordChangedError, t->remove());
        QVERIFY(!t->locate(QStringLiteral("User_No"), QStringLiteral("U0000")));
        QCOMPARE(TestDb::scalar(m_conn, QStringLiteral("SELECT COUNT(*) FROM dbo.User_File")).toInt(), 1);

        // A cached change applied to a row that is gone stays pending.
        TAdminData data;
        data.Database1->setParams(m_conn, {}, {});
        TestDb::exec(m_conn, QStringLiteral("INSERT INTO customer_file (Account, Active) VALUES ('C1', 1)"));
        Query *q = data.Customer_info;
        q->open();
        q->edit();
        q->fieldByName(QStringLiteral("Account_Name"))->setValue(QStringLiteral("NEW NAME"));
        q->post();
        TestDb::exec(m_conn, QStringLiteral("DELETE FROM customer_file"));
        QVERIFY_THROWS_EXCEPTION(VoxError, q->applyUpdates());
        q->commitUpdates();
        QCOMPARE(q->pendingCount(), 1);
    }

    void deletingTheLastRowReadBringsTheNextUnreadRow()
    {
        if (!setUpDb())
            QSKIP("PostgreSQL test server not available");
        addUsers(12);
        auto t = userTable();
        t->setBlockSize(5);
        t->open();
        QCOMPARE(t->moveBy(4), 4);
        QCOMPARE(t->loadedCount(), 5);
        t->remove();
        QCOMPARE(t->fieldByName(QStringLiteral("User_No"))->asString(), QStringLiteral("U0005"));
        QVERIFY(!t->eof());
        t->next();
        QCOMPARE(t->fieldByName(QStringLiteral("User_No"))->asString(), QStringLiteral("U0006"));
    }

    void refreshKeepsTheRecordOnTheUserWindowsPath()
    {
        if (!setUpDb())
            QSKIP("PostgreSQL test server not available");
        addUsers(40);
        // The user window's dataset: ordered by group, not by its key, with
        // its calculated field, filtered on a group, refreshed after a post.
        TAdminData data;
        data.Database1->setParams(m_conn, {}, {});
        TableView *users = data.User_File;
        users->setBlockSize(4);
        users->onCalcFields = [](Dataset &d) {
            d.fieldByName(QStringLiteral("isadmin"))->setValue(d.fieldByName(QStringLiteral("AdminUser"))->asInteger() == 9);
        };
        users->open();
        auto current = [&] { return users->fieldByName(QStringLiteral("User_No"))->asString(); };
        for (const QString &userNo : {QStringLiteral("U0033"), QStringLiteral("U0000"), QStringLiteral("U0038")}) {
            QVERIFY(users->locate(QStringLiteral("User_No"), userNo));
            users->refresh();
            QCOMPARE(current(), userNo);
        }

        users->setFilter(Dataset::fieldEquals(QStringLiteral("User_Group"), QStringLiteral("G1")));
        users->setFiltered(true);
        QVERIFY(users->locate(QStringLiteral("User_No"), QStringLiteral("U0035")));
        users->edit();
        users->fieldByName(QStringLiteral("Full_Name"))->setValue(QStringLiteral("POSTED"));
        users->post();
        users->refresh();
        QCOMPARE(current(), QStringLiteral("U0035"));
        QCOMPARE(users->fieldByName(QStringLiteral("Full_Name"))->asString(), QStringLiteral("POSTED"));
        QCOMPARE(users->recordCount(), 20);
    }

    void cachedInsertWritesThroughTheUpdateStatement()
    {
        if (!setUpDb())
            QSKIP("PostgreSQL test server not available");
        TAdminData data;
        data.Database1->setParams(m_conn, {}, {});
        Query *q = data.Customer_info;
        q->open();
        QVERIFY(q->isEmpty());
        q->insert();
        q->fieldByName(QStringLiteral("Account"))->setValue(QStringLiteral("C100"));
        q->fieldByName(QStringLiteral("Account_Name"))->setValue(QStringLiteral("CHAN TAI MAN"));
        q->fieldByName(QStringLiteral("User_No"))->setValue(QStringLiteral("D001"));
        q->fieldByName(QStringLiteral("Limit"))->setValue(5000.5);
        q->fieldByName(QStringLiteral("Active"))->setValue(false);
        q->fieldByName(QStringLiteral("Margin"))->setValue(7);
        q->fieldByName(QStringLiteral("Currency"))->setValue(QStringLiteral("USD"));
        q->post();
        // Nothing reaches the table before the changes are applied.
        QCOMPARE(TestDb::scalar(m_conn, QStringLiteral("SELECT COUNT(*) FROM customer_file")).toInt(), 0);
        QCOMPARE(q->pendingCount(), 1);
        q->applyUpdates();
        q->commitUpdates();
        QCOMPARE(q->pendingCount(), 0);
        const QList<QStringList> rows = TestDb::rows(
            m_conn, QStringLiteral("SELECT Account, Active, Margin, Cash_Bal, Currency, Account_Name, Limit FROM customer_file")
                        .replace(QStringLiteral(" Limit "), data.Database1->dialect() == Dialect::SqlServer ? QStringLiteral(" Limit ") : QStringLiteral(" \"Limit\" ")));
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.first().at(0), QStringLiteral("C100"));
        QCOMPARE(rows.first().at(1).toInt(), 1);
        QCOMPARE(rows.first().at(2).toInt(), 0);
        QCOMPARE(rows.first().at(3).toDouble(), 0.0);
        QCOMPARE(rows.first().at(4), QStringLiteral("HKD"));
        QCOMPARE(rows.first().at(5), QStringLiteral("CHAN TAI MAN"));
        QCOMPARE(rows.first().at(6).toDouble(), 5000.5);
        // The record reads back as a boolean on every engine.
        q->close();
        q->open();
        QCOMPARE(q->fieldByName(QStringLiteral("Active"))->asBoolean(), true);
        QCOMPARE(q->fieldByName(QStringLiteral("Account"))->asString(), QStringLiteral("C100"));
    }

    void missingTablesAndColumnsGiveTheDriversMessage()
    {
        if (!setUpDb())
            QSKIP("PostgreSQL test server not available");
        TableView missing(QStringLiteral("missing"), m_db.get());
        missing.setTableName(QStringLiteral("dbo.No_Such_Table"));
        QVERIFY_THROWS_EXCEPTION(VoxError, missing.open());
        QVERIFY(!missing.isActive());

        Query q(QStringLiteral("q"), m_db.get());
        q.setSql(QStringLiteral("SELECT User_No FROM User_File"));
        q.setCatalogTable(QStringLiteral("User_File"));
        q.setFieldDefs(Schema::columns(QStringLiteral("User_File"), {QStringLiteral("User_No"), QStringLiteral("Full_Name")}));
        try {
            q.open();
            QFAIL("a declared column the statement does not return went unnoticed");
        } catch (const VoxError &e) {
            QVERIFY(e.message().contains(QStringLiteral("Full_Name")));
        }
        // The same dataset opens once its statement is right.
        q.setSql(QStringLiteral("SELECT User_No, Full_Name FROM User_File"));
        q.open();
        QVERIFY(q.isActive());
    }

    void parametersAreDataNeverSql()
    {
        if (!setUpDb())
            QSKIP("PostgreSQL test server not available");
        addUsers(2);
        TAdminData data;
        data.Database1->setParams(m_conn, {}, {});
        Query *q = data.Query_User;
        q->setParam(QStringLiteral("MPARAMS"), QStringLiteral("U0000' OR '1'='1"));
        q->open();
        QVERIFY(q->isEmpty());
        q->close();
        q->setParam(QStringLiteral("MPARAMS"), QStringLiteral("U0001"));
        q->open();
        QCOMPARE(q->recordCount(), 1);
        QCOMPARE(q->fieldByName(QStringLiteral("Full_Name"))->asString(), QStringLiteral("NAME 1"));
        // Read-only datasets refuse edits.
        QVERIFY_THROWS_EXCEPTION(VoxError, q->edit());
        QVERIFY_THROWS_EXCEPTION(VoxError, data.User_bak->insert());
    }
};

VOX_TEST_MAIN(TestDataset)
#include "tst_dataset.moc"
