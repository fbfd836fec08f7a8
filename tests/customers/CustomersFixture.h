#pragma once

#include "support/DataModuleFixture.h"
#include "widgets/PrinterFactory.h"

// A test database with dealers and customer accounts, the data module on
// it, and a loopback line server standing in for the risk manager.
struct CustomersFixture : DataModuleFixture {
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
        addRiskRule(target, type, receiver, attribute, value);
    }

    void addLogin(const QString &account, const QString &device, bool enabled)
    {
        TestDb::exec(conn,
                     QStringLiteral("INSERT INTO DeviceAccount (DeviceName, ReferenceID, AccessCode, isEncrypted, "
                                    "Enabled, UserType, Account) VALUES (?, '1', 'x', 0, ?, 1, ?)"),
                     {device, enabled ? 1 : 0, account});
    }

    // Sends PDF print jobs into the folder "printed" of the test directory
    // until the fixture goes; returns that folder.
    QString printIntoTestDir()
    {
        const QString printed = dir.filePath(QStringLiteral("printed"));
        m_printDir.emplace(&PrintJob::setOutputDir, printed);
        return printed;
    }

private:
    std::optional<ScopedSeam<QString, const QString &>> m_printDir;
};
