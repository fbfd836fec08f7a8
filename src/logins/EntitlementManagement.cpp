#include "logins/EntitlementManagement.h"

#include "core/VoxError.h"
#include "db/AdminData.h"
#include "db/RowExists.h"
#include "db/Schema.h"
#include "logins/LoginsDb.h"

EntitlementManagement::EntitlementManagement(TAdminData &data)
    : m_data(data)
{
}

void EntitlementManagement::loadCatalogue()
{
    m_catalogue.clear();
    Query list(QStringLiteral("Entitle_list"), m_data.Database1);
    list.setCatalogTable(QStringLiteral("dbo.entitlementlist"));
    list.setSql(QStringLiteral("select id, entitlevalue, Description from dbo.entitlementlist order by id"));
    list.open();
    for (list.first(); !list.eof(); list.next())
        m_catalogue.append({list.fieldByName(QStringLiteral("Description"))->asString(),
                            list.fieldByName(QStringLiteral("entitlevalue"))->asString()});
    list.close();
}

void EntitlementManagement::checkNumber(const QString &number, bool user)
{
    DbConnection &connection = *m_data.Database1;
    const bool found = user ? rowExists(connection, QStringLiteral("dbo.User_File"), QStringLiteral("User_no"), number)
                            : rowExists(connection, QStringLiteral("dbo.Customer_File"), QStringLiteral("Account"), number);
    if (!found)
        throw VoxError(QString::fromLatin1(NoSuchNumber));
}

void EntitlementManagement::search(const QString &number, bool user)
{
    m_held.clear();
    m_available.clear();
    checkNumber(number, user);

    Query grants(QStringLiteral("Query_entitle"), m_data.Database1);
    grants.setCatalogTable(QStringLiteral("dbo.AccountEntitle"));
    grants.setSql(QStringLiteral("select * from accountentitle where account = :account and usertype = :usertype"));
    grants.setParam(QStringLiteral("account"), number);
    grants.setParam(QStringLiteral("usertype"), user ? 0 : 1);
    grants.open();
    Entries held;
    for (grants.first(); !grants.eof(); grants.next()) {
        const QString id = grants.fieldByName(QStringLiteral("EntitlementID"))->asString();
        Entry entry{id, id}; // a grant outside the catalogue shows its id
        for (const Entry &c : m_catalogue) {
            if (c.value == id) {
                entry.text = c.text;
                break;
            }
        }
        held.append(entry);
    }
    grants.close();
    m_held = held;
    for (const Entry &c : m_catalogue) {
        bool isHeld = false;
        for (const Entry &h : m_held)
            isHeld = isHeld || h.text.compare(c.text, Qt::CaseInsensitive) == 0;
        if (!isHeld)
            m_available.append(c);
    }
}

void EntitlementManagement::select(int row)
{
    if (row < 0 || row >= m_available.size())
        return;
    m_held.append(m_available.takeAt(row));
}

void EntitlementManagement::remove(int row)
{
    if (row < 0 || row >= m_held.size())
        return;
    m_available.append(m_held.takeAt(row));
}

void EntitlementManagement::removeAll()
{
    m_held.clear();
    m_available = m_catalogue;
}

void EntitlementManagement::save(const QString &number, bool user)
{
    checkNumber(number, user);
    DbConnection &connection = *m_data.Database1;
    const int userType = user ? 0 : 1;
    AuditTrail &audit = *m_data.Audit;
    const bool audited = audit.isAvailable(); // asked before the transaction
    LoginsDb::Transaction transaction(connection);
    // What the number held before, for the trail.
    QStringList before;
    if (audited) {
        Query held(QStringLiteral("entitle_before"), &connection);
        held.setCatalogTable(QStringLiteral("dbo.AccountEntitle"));
        held.setFieldDefs(Schema::columns(QStringLiteral("AccountEntitle"), {QStringLiteral("EntitlementID")}));
        held.setSql(QStringLiteral("select EntitlementID from accountentitle where account = :account and "
                                   "usertype = :usertype order by EntitlementID"));
        held.setParam(QStringLiteral("account"), number);
        held.setParam(QStringLiteral("usertype"), userType);
        held.open();
        for (held.first(); !held.eof(); held.next())
            before << held.fieldByName(QStringLiteral("EntitlementID"))->asString();
        held.close();
    }
    SqlStatement remove(QStringLiteral("Del_entitle"), &connection,
                        QStringLiteral("delete from accountentitle where account = :account and usertype = :usertype"));
    remove.setParam(QStringLiteral("account"), number);
    remove.setParam(QStringLiteral("usertype"), userType);
    remove.execSql();
    for (const Entry &entry : m_held) {
        SqlStatement insert(QStringLiteral("Entitle_file"), &connection,
                            QStringLiteral("insert into dbo.AccountEntitle (Account, UserType, EntitlementID, Enabled) "
                                           "values (:account, :usertype, :entitlementid, 1)"));
        insert.setParam(QStringLiteral("account"), number);
        insert.setParam(QStringLiteral("usertype"), userType);
        insert.setParam(QStringLiteral("entitlementid"),
                        entry.value.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(entry.value));
        int rows = 0;
        try {
            rows = insert.execSql();
        } catch (const VoxError &) {
            throw VoxError(QString::fromLatin1(RecordExists));
        }
        if (rows != 1)
            throw VoxError(QString::fromLatin1(RecordExists));
    }
    if (audited) {
        QStringList after;
        for (const Entry &entry : m_held)
            after << entry.value;
        after.sort();
        if (after != before)
            audit.recordChange(AuditTrail::Change::Update, QStringLiteral("AccountEntitle"),
                               QStringLiteral("%1 / %2").arg(number).arg(userType),
                               {{QStringLiteral("EntitlementID"), before.join(QLatin1Char(',')),
                                 after.join(QLatin1Char(','))}});
    }
    transaction.commit();
}
