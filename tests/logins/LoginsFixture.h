#pragma once

#include "customers/CustomersFixture.h"
#include "support/PdfText.h"

// The customer test database with what the login windows need besides:
// configuration sections, customer addresses, device logins, entitlements,
// and words read back from a printed PDF with their boxes.
struct LoginsFixture : CustomersFixture {
    void setIni(const QString &extra) { TestDb::writeVoxIni(dir.path(), conn, riskman.port(), 0, extra); }

    void addInfo(const QString &account, const QString &name, const QString &a1, const QString &a2, const QString &a3)
    {
        TestDb::exec(conn,
                     QStringLiteral("INSERT INTO customer_info (Account, Eng_Name, Address1, Address2, Address3) "
                                    "VALUES (?, ?, ?, ?, ?)"),
                     {account, name, a1, a2, a3});
    }

    void addCatalogue(int id, const QString &value, const QString &description)
    {
        TestDb::exec(conn, QStringLiteral("INSERT INTO entitlementlist (id, entitlevalue, Description) VALUES (?, ?, ?)"),
                     {id, value, description});
    }

    void addGrant(const QString &account, int userType, const QString &id)
    {
        TestDb::exec(conn,
                     QStringLiteral("INSERT INTO AccountEntitle (EntitlementID, Enabled, UserType, Account) "
                                    "VALUES (?, 1, ?, ?)"),
                     {id, userType, account});
    }

    void addDeviceLogin(const QString &device, const QString &account, int userType, const QString &reference,
                        const QVariant &expire, bool enabled)
    {
        TestDb::exec(conn,
                     QStringLiteral("INSERT INTO DeviceAccount (DeviceName, ReferenceID, AccessCode, isEncrypted, "
                                    "ExpireDate, Enabled, UserType, Account) VALUES (?, ?, 'x', 0, ?, ?, ?, ?)"),
                     {device, reference, expire, enabled ? 1 : 0, userType, account});
    }

    using Word = PdfText::Word;
    static QList<Word> pdfWords(const QString &file) { return PdfText::words(file); }
    static QString pdfSize(const QString &file)
    {
        const QSizeF size = PdfText::pageSizeMm(file);
        if (size.isEmpty())
            return {};
        return QStringLiteral("%1 x %2 mm").arg(qRound(size.width())).arg(qRound(size.height()));
    }
};
