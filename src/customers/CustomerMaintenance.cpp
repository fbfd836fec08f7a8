#include "customers/CustomerMaintenance.h"

#include "core/VoxError.h"
#include "db/AdminData.h"
#include "db/RowExists.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlError>

namespace {
QString text(Dataset &ds, const char *name)
{
    return ds.fieldByName(QString::fromLatin1(name))->asString();
}

// The value bound for a text column: what was typed, NULL when nothing was.
QVariant textParam(Dataset &ds, const QString &name)
{
    Field *f = ds.fieldByName(name);
    if (f->isNull())
        return QVariant(QMetaType(QMetaType::QString));
    return QVariant(f->value().toString());
}

class Transaction
{
public:
    explicit Transaction(DbConnection &connection)
    {
        connection.ensureOpen();
        m_db = connection.database();
        if (!m_db.transaction())
            throw VoxError(m_db.lastError().text());
    }
    ~Transaction()
    {
        if (!m_done)
            m_db.rollback();
    }
    void commit()
    {
        if (!m_db.commit())
            throw VoxError(m_db.lastError().text());
        m_done = true;
    }
    void rollback()
    {
        if (!m_done)
            m_db.rollback();
        m_done = true;
    }

private:
    QSqlDatabase m_db;
    bool m_done = false;
};
} // namespace

void CustomerMaintenance::install(TAdminData &data)
{
    data.Customer_info->onNewRecord = &Customer_infoNewRecord;
}

void CustomerMaintenance::Customer_infoNewRecord(Dataset &ds)
{
    ds.fieldByName(QStringLiteral("Active"))->setValue(true);
    ds.fieldByName(QStringLiteral("Margin"))->setValue(0);
    ds.fieldByName(QStringLiteral("Cash_Bal"))->setValue(0.0);
    ds.fieldByName(QStringLiteral("Limit"))->setValue(0.0);
}

CustomerSheet CustomerMaintenance::apply(TAdminData &data)
{
    Query &ds = *data.Customer_info;
    if (ds.state() != Dataset::Insert)
        throw VoxError(QStringLiteral("There is no new customer to apply: press New first."));
    DbConnection &connection = *data.Database1;

    const QString account = text(ds, "Account");
    if (account.isEmpty())
        throw VoxError(QStringLiteral("Field 'Account' must have a value"));
    for (const QChar c : account) {
        if (c == QLatin1Char('|') || c.unicode() < 0x20 || c.unicode() == 0x7F || c.unicode() > 0xFF)
            throw VoxError(QString::fromLatin1(BadAccountNumber));
    }
    if (rowExists(connection, QStringLiteral("customer_file"), QStringLiteral("account"), account))
        throw VoxError(QString::fromLatin1(DuplicateCustomer));
    const QString userNo = text(ds, "User_No");
    if (userNo.isEmpty() || !rowExists(connection, QStringLiteral("dbo.User_File"), QStringLiteral("user_no"), userNo))
        throw VoxError(QString::fromLatin1(UnknownUser));

    ds.fieldByName(QStringLiteral("DateTime_Created"))->setValue(QDateTime(QDate::currentDate(), QTime(0, 0)));
    ds.fieldByName(QStringLiteral("password"))->setValue(QStringLiteral(""));
    ds.fieldByName(QStringLiteral("Limit"))->setValue(0.0);

    QVariantMap params;
    for (const char *name : {"Account", "First_Name", "Family_Name", "Chn_Name", "Day_Tel_1", "Mobile", "Home_Tel",
                             "E_Mail", "Fax", "User_No", "Account_Name"})
        params.insert(QString::fromLatin1(name), textParam(ds, QString::fromLatin1(name)));
    params.insert(QStringLiteral("Limit"), 0.0);
    params.insert(QStringLiteral("DateTime_Created"), QDateTime(QDate::currentDate(), QTime(0, 0)));
    params.insert(QStringLiteral("password"), QStringLiteral(""));

    const CustomerSheet sheet{account,
                              userNo,
                              text(ds, "Account_Name"),
                              text(ds, "Chn_Name"),
                              text(ds, "E_Mail"),
                              text(ds, "Home_Tel"),
                              text(ds, "Mobile")};

    const bool audited = data.Audit->isAvailable(); // asked before the transaction
    {
        Transaction transaction(connection);
        SqlStatement insert(QStringLiteral("Customer_infoInsert"), &connection, ds.updateObject().insertSql);
        for (auto it = params.constBegin(); it != params.constEnd(); ++it)
            insert.setParam(it.key(), it.value());
        int inserted = 0;
        try {
            inserted = insert.execSql();
        } catch (const VoxError &) {
            // Another console may have stored the account since the check
            // above: the operator is told so in the words of that check.
            transaction.rollback();
            bool taken = false;
            try {
                taken = rowExists(connection, QStringLiteral("customer_file"), QStringLiteral("account"), account);
            } catch (const VoxError &) {
                // The insert's own failure is the one reported.
            }
            if (taken)
                throw VoxError(QString::fromLatin1(DuplicateCustomer));
            throw;
        }
        if (inserted != 1)
            throw VoxError(QStringLiteral("The customer row of %1 was not stored.").arg(account));
        SqlStatement &copy = *data.query_bodCustomerFileInsert;
        copy.setParam(QStringLiteral("Account"), account);
        const int copied = copy.execSql();
        if (copied != 1)
            throw VoxError(QStringLiteral("Copying account %1 into BOD_Customer_File gave %2 rows instead of one.")
                               .arg(account)
                               .arg(copied));
        if (audited) {
            QVector<AuditTrail::ColumnChange> changes;
            for (auto it = params.constBegin(); it != params.constEnd(); ++it) {
                if (!it.value().isNull())
                    changes.append({it.key(), QVariant(), it.value()});
            }
            data.Audit->recordChange(AuditTrail::Change::Insert, QStringLiteral("customer_file"), account, changes);
        }
        transaction.commit();
    }

    // The row is stored: the pending record goes and the grid reads the
    // rows again, the new one among them.
    ds.cancel();
    ds.refresh();
    return sheet;
}
