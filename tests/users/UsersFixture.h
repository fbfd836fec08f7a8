#pragma once

#include "support/DataModuleFixture.h"

#include <QCryptographicHash>

// A test database with rights, groups and users, the data module on it,
// and a loopback line server standing in for the risk manager.
struct UsersFixture : DataModuleFixture {
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
        addRiskRule(QStringLiteral("ORD"), QStringLiteral("13"), receiver, attribute);
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
        if (!DataModuleFixture::setUp(backend, [this] { seed(); }))
            return false;
        data->RightList->open();
        data->Query_alluser->open();
        return true;
    }

private:
    void seed()
    {
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
    }
};
