#pragma once

#include "db/AdminData.h"
#include "net/Services.h"
#include "net/VoxService.h"
#include "support/FakeDialogs.h"
#include "support/LineServer.h"
#include "support/TestDb.h"

#include <QDir>
#include <QTemporaryDir>
#include <memory>

// A test database with dealers and customer accounts, the data module on
// it, and a loopback line server standing in for the risk manager.
struct CustomersFixture {
    QTemporaryDir dir;
    QString conn;
    LineServer riskman;
    std::unique_ptr<FakeDialogs> dialogs;
    std::unique_ptr<TAdminData> data;
    QString oldCwd = QDir::currentPath();

    ~CustomersFixture()
    {
        data.reset();
        setRiskManagerClient(nullptr);
        QDir::setCurrent(oldCwd);
    }

    void addUser(const QString &no)
    {
        TestDb::exec(conn, QStringLiteral("INSERT INTO dbo.User_File (User_No, Full_Name, AdminUser) VALUES (?, ?, 0)"),
                     {no, QStringLiteral("NAME ") + no});
    }

    void addCustomer(const QString &account, const QString &name, const QString &user = QStringLiteral("D1"))
    {
        TestDb::exec(conn,
                     QStringLiteral("INSERT INTO customer_file (Account, Active, User_No, Account_Name, Chn_Name) "
                                    "VALUES (?, 1, ?, ?, ?)"),
                     {account, user, name, QStringLiteral("CN")});
    }

    void addRule(const QString &target, const QString &type, const QString &receiver, const QString &attribute,
                 const QString &value = {})
    {
        TestDb::exec(conn,
                     QStringLiteral("INSERT INTO riskman_file (targetsystem, receivertype, receiverid, attribute, value) "
                                    "VALUES (?, ?, ?, ?, ?)"),
                     {target, type, receiver, attribute, value});
    }

    void addLogin(const QString &account, const QString &device, bool enabled)
    {
        TestDb::exec(conn,
                     QStringLiteral("INSERT INTO DeviceAccount (DeviceName, ReferenceID, AccessCode, isEncrypted, "
                                    "Enabled, UserType, Account) VALUES (?, '1', 'x', 0, ?, 1, ?)"),
                     {device, enabled ? 1 : 0, account});
    }

    int count(const QString &sql, const QVariantList &params = {})
    {
        return TestDb::scalar(conn, sql, params).toInt();
    }

    // Returns false when the backend is not available.
    bool setUp(const QString &backend)
    {
        conn = TestDb::freshFor(backend, dir.path());
        if (conn.isEmpty())
            return false;
        TestDb::writeVoxIni(dir.path(), conn, riskman.port());
        QDir::setCurrent(dir.path());
        dialogs = std::make_unique<FakeDialogs>();
        data = std::make_unique<TAdminData>();
        data->DataModuleCreate();
        setRiskManagerClient(new voxServiceClient(data.get(), QStringLiteral("VOX_RISKMAN")));
        return true;
    }
};
