#pragma once

#include "db/AdminData.h"
#include "net/Services.h"
#include "net/VoxService.h"
#include "support/FakeDialogs.h"
#include "support/LineServer.h"
#include "support/TestDb.h"

#include <QCryptographicHash>
#include <QDir>
#include <QTemporaryDir>
#include <memory>

// A test database with rights, groups and users, the data module on it,
// and a loopback line server standing in for the risk manager.
struct UsersFixture {
    QTemporaryDir dir;
    QString conn;
    LineServer riskman;
    std::unique_ptr<FakeDialogs> dialogs;
    std::unique_ptr<TAdminData> data;
    QString oldCwd = QDir::currentPath();

    ~UsersFixture()
    {
        data.reset();
        setRiskManagerClient(nullptr);
        QDir::setCurrent(oldCwd);
    }

    static QString sha1(const QString &text)
    {
        return QString::fromLatin1(QCryptographicHash::hash(text.toLatin1(), QCryptographicHash::Sha1).toHex().toUpper());
    }

    void addUser(const QString &no, const QString &group, const QString &password = {},
                 const QString &authority = {}, int admin = 0)
    {
        TestDb::exec(conn,
                     QStringLiteral("INSERT INTO dbo.User_File (User_No, Full_Name, User_Group, User_Password, "
                                    "PasswordHash, Authority, AdminUser, Entitlement) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"),
                     {no, QStringLiteral("NAME ") + no, group, password, sha1(password), authority, admin,
                      QStringLiteral("E1")});
    }

    void addRisk(const QString &receiver, const QString &attribute)
    {
        TestDb::exec(conn,
                     QStringLiteral("INSERT INTO riskman_file (targetsystem, receivertype, receiverid, attribute, value) "
                                    "VALUES ('ORD', '13', ?, ?, '')"),
                     {receiver, attribute});
    }

    QString userField(const QString &no, const QString &column)
    {
        return TestDb::scalar(conn, QStringLiteral("SELECT %1 FROM dbo.User_File WHERE User_No = ?").arg(column), {no})
            .toString()
            .trimmed();
    }

    // Returns false when the backend is not available.
    bool setUp(const QString &backend)
    {
        conn = TestDb::freshFor(backend, dir.path());
        if (conn.isEmpty())
            return false;
        for (const char *right : {"Order Entry", "Trade Enquiry", "report", "Risk Management", "Login Management",
                                  "Administrator"})
            TestDb::exec(conn, QStringLiteral("INSERT INTO RightList (ManuName, ActionName) VALUES (?, ?)"),
                         {QString::fromLatin1(right), QStringLiteral("Open")});
        for (const char *group : {"G1", "G2"})
            TestDb::exec(conn, QStringLiteral("INSERT INTO dbo.Group_File (GroupID, GroupName, Authority) VALUES (?, ?, ?)"),
                         {QString::fromLatin1(group), QStringLiteral("Group ") + QString::fromLatin1(group),
                          QStringLiteral("Order Entry\r\nTrade Enquiry\r\n")});
        addUser(QStringLiteral("U1"), QString(), QStringLiteral("pw1"), QStringLiteral("Order Entry\r\n"));
        addUser(QStringLiteral("U2"), QStringLiteral("G1"), QStringLiteral("pw2"));
        addUser(QStringLiteral("U3"), QStringLiteral("G1"), QStringLiteral("pw3"), QString(), 9);
        addUser(QStringLiteral("U4"), QStringLiteral("G1"), QStringLiteral("pw4"));
        addUser(QStringLiteral("U5"), QStringLiteral("G2"), QStringLiteral("pw5"));

        TestDb::writeVoxIni(dir.path(), conn, riskman.port());
        QDir::setCurrent(dir.path());
        dialogs = std::make_unique<FakeDialogs>();
        data = std::make_unique<TAdminData>();
        data->DataModuleCreate();
        setRiskManagerClient(new voxServiceClient(data.get(), QStringLiteral("VOX_RISKMAN")));
        data->RightList->open();
        data->Query_alluser->open();
        return true;
    }
};
