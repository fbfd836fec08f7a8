#include "db/Schema.h"

#include "core/VoxError.h"

namespace {
FieldDef col(const char *name, FieldType type, int size = 0, bool required = false,
             const char *label = nullptr)
{
    FieldDef f;
    f.name = QString::fromLatin1(name);
    f.type = type;
    f.size = size;
    f.required = required;
    if (label)
        f.displayLabel = QString::fromLatin1(label);
    return f;
}

constexpr auto C = FieldType::FixedChar;
constexpr auto V = FieldType::VarChar;
constexpr auto M = FieldType::Memo;
constexpr auto I = FieldType::Integer;
constexpr auto S = FieldType::SmallInt;
constexpr auto F = FieldType::Float;
constexpr auto B = FieldType::Boolean;
constexpr auto D = FieldType::DateTime;
constexpr auto R = FieldType::RowVersion;

QVector<TableDef> build()
{
    QVector<TableDef> t;
    t.append({QStringLiteral("User_File"),
              {col("User_No", C, 8, true, "User ID"), col("Full_Name", C, 20, false, "Full Name"),
               col("AdminUser", I, 0, false, "As a Supervisor"), col("TradeLimit", F),
               col("SEHK", C, 6, false, "OG ID"), col("Authority", M), col("Entitlement", V, 50),
               col("User_Group", C, 10), col("Active", C, 10), col("DateTime_Created", D),
               col("DateTime_Modified", R), col("User_Password", C, 10), col("Member", M),
               col("PasswordHash", C, 40), col("DummyAc", C, 20)},
              {QStringLiteral("User_No")}});
    t.append({QStringLiteral("Group_File"),
              {col("GroupID", C, 10, true), col("GroupName", C, 20), col("TradeLimit", F),
               col("Authority", M)},
              {QStringLiteral("GroupID")}});
    t.append({QStringLiteral("RightList"),
              {col("ManuName", C, 100), col("ActionName", C, 100)},
              {}});
    t.append({QStringLiteral("customer_file"),
              {col("Account", C, 20, true), col("Active", B, 0, true),
               col("User_No", C, 8, false, "User No"), col("Chn_Name", C, 10, false, "Chinese Name"),
               col("Account_Name", C, 100, false, "Account Name"), col("First_Name", C, 100),
               col("Family_Name", C, 10), col("Limit", F), col("Cash_Bal", F), col("Currency", C, 10),
               col("Day_Tel_1", C, 20), col("Mobile", C, 20), col("Home_Tel", C, 20),
               col("E_Mail", C, 20), col("Fax", C, 20), col("Margin", I), col("DateTime_Created", D),
               col("DateTime_Modified", R), col("password", C, 20), col("Entitlement", V, 50)},
              {QStringLiteral("Account")}});
    t.append({QStringLiteral("BOD_Customer_File"),
              {col("Account", C, 20, true), col("Limit", F), col("Active", B), col("Margin", I),
               col("Cash_Bal", F), col("Currency", C, 10)},
              {}});
    t.append({QStringLiteral("customer_info"),
              {col("Account", C, 8), col("Eng_Name", C, 150), col("Chi_Name", C, 10),
               col("Address1", V, 100), col("Address2", V, 100), col("Address3", V, 100),
               col("Tel_No_Office", C, 15), col("Tel_No_Home", C, 15), col("Tel_No_Mobile", C, 15),
               col("Fax", C, 15), col("Email_Address", C, 20), col("User_No", C, 8),
               col("Margin_Type", I), col("Customer_Type", C, 1), col("Client_Class", C, 1),
               col("Status", C, 1), col("Client_Title", C, 8)},
              {}});
    t.append({QStringLiteral("DeviceAccount"),
              {col("DeviceName", C, 20, true), col("ReferenceID", V, 15), col("AccessCode", V, 100),
               col("isEncrypted", B, 0, true), col("ExpireDate", D), col("Enabled", B, 0, true),
               col("UserType", S, 0, true), col("Account", C, 20, true)},
              {QStringLiteral("Account"), QStringLiteral("DeviceName"), QStringLiteral("UserType")}});
    t.append({QStringLiteral("AccountEntitle"),
              {col("EntitlementID", C, 20, true), col("ExpireDate", D), col("Enabled", B, 0, true),
               col("UserType", S, 0, true), col("Account", C, 20, true)},
              {QStringLiteral("Account"), QStringLiteral("UserType"), QStringLiteral("EntitlementID")}});
    t.append({QStringLiteral("entitlementlist"),
              {col("id", I, 0, true), col("entitlevalue", C, 10), col("Description", C, 50)},
              {}});
    t.append({QStringLiteral("symbol_lot_size"),
              {col("symbol", C, 10, true, "Symbol"), col("size", C, 10),
               col("symbol_name", C, 30, false, "English Name"), col("point", F), col("l_price", F),
               col("c_symbol_name", C, 30, false, "Chinese Name")},
              {}});
    t.append({QStringLiteral("riskman_file"),
              {col("targetsystem", C, 15), col("receivertype", V, 10), col("receiverid", C, 15),
               col("attribute", V, 25), col("value", V, 10)},
              {}});
    // The console's own: one entry per changed column or command sent.
    t.append({QStringLiteral("Admin_Audit"),
              {col("Audit_ID", I, 0, true, "Entry"), col("Logged_At", D, 0, true, "Time (UTC)"),
               col("User_No", V, 8, false, "Operator"), col("Host_Name", V, 64, false, "Host"),
               col("Change_Kind", V, 10, true, "Change"), col("Table_Name", V, 40, false, "Table"),
               col("Record_Key", V, 100, false, "Key"), col("Column_Name", V, 40, false, "Column"),
               col("Old_Value", M, 0, false, "Old Value"), col("New_Value", M, 0, false, "New Value"),
               col("Service", V, 20), col("Outcome", V, 20)},
              {QStringLiteral("Audit_ID")}});
    return t;
}
} // namespace

const FieldDef *TableDef::column(const QString &columnName) const
{
    for (const FieldDef &f : columns) {
        if (f.name.compare(columnName, Qt::CaseInsensitive) == 0)
            return &f;
    }
    return nullptr;
}

QString Schema::bareName(const QString &name)
{
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.mid(dot + 1);
}

const QVector<TableDef> &Schema::tables()
{
    static const QVector<TableDef> all = build();
    return all;
}

const TableDef *Schema::table(const QString &name)
{
    const QString bare = bareName(name);
    for (const TableDef &t : tables()) {
        if (t.name.compare(bare, Qt::CaseInsensitive) == 0)
            return &t;
    }
    return nullptr;
}

FieldDefs Schema::columns(const QString &tableName, const QStringList &names)
{
    const TableDef *t = table(tableName);
    FieldDefs out;
    for (const QString &n : names) {
        const FieldDef *f = t ? t->column(n) : nullptr;
        if (!f)
            throw VoxError(QStringLiteral("Unknown column %1 of table %2").arg(n, tableName));
        out.append(*f);
    }
    return out;
}
