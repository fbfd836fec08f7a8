#include "db/AdminData.h"

#include "config/VoxIniFile.h"
#include "core/VoxError.h"
#include "db/Schema.h"

namespace {
TAdminData *g_instance = nullptr;

QStringList allColumns(const QString &table, const QStringList &except = {})
{
    QStringList out;
    if (const TableDef *t = Schema::table(table)) {
        for (const FieldDef &f : t->columns) {
            if (!except.contains(f.name, Qt::CaseInsensitive))
                out << f.name;
        }
    }
    return out;
}

const QStringList kUserQueryColumns = {
    QStringLiteral("User_No"),          QStringLiteral("Full_Name"),         QStringLiteral("Authority"),
    QStringLiteral("User_Group"),       QStringLiteral("Active"),            QStringLiteral("DateTime_Created"),
    QStringLiteral("DateTime_Modified"), QStringLiteral("User_Password"),    QStringLiteral("AdminUser"),
    QStringLiteral("TradeLimit"),       QStringLiteral("Member")};
} // namespace

const char *const TAdminData::QueryUserSql = "SELECT * FROM USER_FILE WHERE USER_NO=:MPARAMS";

TAdminData *TAdminData::instance()
{
    return g_instance;
}

TAdminData &TAdminData::required()
{
    if (!g_instance)
        throw VoxError(QStringLiteral("Database connection problem. Please check setting!"));
    return *g_instance;
}

TableView *TAdminData::table(const char *name, const QString &tableName, const QString &orderBy,
                             const QStringList &columns, bool readOnly)
{
    auto *t = new TableView(QString::fromLatin1(name), Database1, this);
    t->setTableName(tableName);
    t->setOrderBy(orderBy);
    if (!columns.isEmpty())
        t->setFieldDefs(Schema::columns(tableName, columns));
    t->setReadOnly(readOnly);
    return t;
}

Query *TAdminData::query(const char *name, const QString &sql, const QString &catalog,
                         const QStringList &columns)
{
    auto *q = new Query(QString::fromLatin1(name), Database1, this);
    q->setSql(sql);
    q->setCatalogTable(catalog);
    if (!columns.isEmpty())
        q->setFieldDefs(Schema::columns(catalog, columns));
    return q;
}

TAdminData::TAdminData(QObject *parent)
    : QObject(parent)
{
    g_instance = this;
    setObjectName(QStringLiteral("AdminData"));
    Database1 = new DbConnection(this);
    Audit = new AuditTrail(Database1, this);
    Database1->setAuditTrail(Audit);

    const QString userFile = QStringLiteral("dbo.User_File");
    User_File = table("User_File", userFile, QStringLiteral("User_Group"), allColumns(userFile), false);
    User_File->addCalculatedField(QStringLiteral("isadmin"), FieldType::Boolean);
    User_bak = table("User_bak", userFile, {}, {}, true);
    Query_alluser = query("Query_alluser", QStringLiteral("SELECT * FROM USER_FILE order by user_no"),
                          userFile, kUserQueryColumns);
    Query_User = query("Query_User", QString::fromLatin1(QueryUserSql), userFile, kUserQueryColumns);

    const QString groupFile = QStringLiteral("dbo.Group_File");
    Group_File = table("Group_File", groupFile, QStringLiteral("GroupID"), allColumns(groupFile), false);
    Update_group = new SqlStatement(QStringLiteral("Update_group"), Database1,
                                    QStringLiteral("update group_file set authority = :para1 where groupid = :para2"),
                                    this);
    RightList = table("RightList", QStringLiteral("RightList"), {}, allColumns(QStringLiteral("RightList")), true);

    customer_file = table("customer_file", QStringLiteral("customer_file"), QStringLiteral("account"),
                          allColumns(QStringLiteral("customer_file"), {QStringLiteral("Entitlement")}), true);
    Customer_info = query("Customer_info", QStringLiteral("select * from customer_file order by account"),
                          QStringLiteral("customer_file"),
                          allColumns(QStringLiteral("customer_file"), {QStringLiteral("Entitlement")}));
    Customer_info->setReadOnly(false);
    Customer_info->setCachedUpdates(true);
    Customer_info->setUpdateObject(
        {QStringLiteral("update customer_file set Account = :Account, First_Name = :First_Name, Family_Name = "
                        ":Family_Name, Chn_Name = :Chn_Name, Day_Tel_1 = :Day_Tel_1, Mobile = :Mobile, Home_Tel = "
                        ":Home_Tel, E_Mail = :E_Mail, Fax = :Fax, Limit = :Limit, Active = :Active, User_No = "
                        ":User_No, DateTime_Created = :DateTime_Created, Account_Name = :Account_Name, password = "
                        ":password, Margin = :Margin, Cash_Bal = :Cash_Bal, Currency = :Currency where Account = "
                        ":OLD_Account"),
         QStringLiteral("insert into customer_file (Account, First_Name, Family_Name, Chn_Name, Day_Tel_1, Mobile, "
                        "Home_Tel, E_Mail, Fax, Limit, Active, User_No, DateTime_Created, Account_Name, password, "
                        "Margin, Cash_Bal, Currency) values (:Account, :First_Name, :Family_Name, :Chn_Name, "
                        ":Day_Tel_1, :Mobile, :Home_Tel, :E_Mail, :Fax, :Limit, 1, :User_No, :DateTime_Created, "
                        ":Account_Name, :password, 0, 0, 'HKD')"),
         QStringLiteral("delete from customer_file where Account = :OLD_Account")});
    Cust_bak = table("Cust_bak", QStringLiteral("dbo.Customer_File"), {}, {}, true);
    Cust_search = table("Cust_search", QStringLiteral("dbo.Customer_File"), {},
                        {QStringLiteral("Account_Name"), QStringLiteral("Chn_Name"), QStringLiteral("User_No"),
                         QStringLiteral("Account")},
                        true);
    internet_acct = query("internet_acct",
                          QStringLiteral("select first_name, family_name, user_no from customer_file where account = :account"),
                          QStringLiteral("customer_file"),
                          {QStringLiteral("First_Name"), QStringLiteral("Family_Name"), QStringLiteral("User_No")});
    query_bodCustomerFileInsert = new SqlStatement(
        QStringLiteral("query_bodCustomerFileInsert"), Database1,
        QStringLiteral("insert into BOD_Customer_File (Account, Limit, Active, Margin, Cash_Bal, Currency) select "
                       "Account, Limit, Active, Margin, Cash_Bal, Currency from Customer_File where Account = :Account"),
        this);

    Acct_info = query("Acct_info", QStringLiteral("select * from customer_info where account = :maccount"),
                      QStringLiteral("customer_info"), {});

    const QString device = QStringLiteral("dbo.DeviceAccount");
    Acct_Login = table("Acct_Login", device, {}, allColumns(device), false);
    deviceaccount = table("deviceaccount", device, {}, allColumns(device, {QStringLiteral("UserType")}), true);
    Query_deviceacct = query("Query_deviceacct",
                             QStringLiteral("select account, devicename, enabled from deviceaccount where account = "
                                            ":account and devicename = :type"),
                             device, {QStringLiteral("Account"), QStringLiteral("DeviceName"), QStringLiteral("Enabled")});
    deviceacct = query("deviceacct",
                       QStringLiteral("select account, referenceid, expiredate, enabled from deviceaccount where "
                                      "devicename = :devicename order by account"),
                       device,
                       {QStringLiteral("Account"), QStringLiteral("ReferenceID"), QStringLiteral("ExpireDate"),
                        QStringLiteral("Enabled")});

    const QString entitle = QStringLiteral("dbo.AccountEntitle");
    Entitle_file = table("Entitle_file", entitle, {}, allColumns(entitle), false);
    Query_entitle = query("Query_entitle",
                          QStringLiteral("select * from accountentitle where account = :account and usertype = :usertype"),
                          entitle, {});
    Del_entitle = new SqlStatement(QStringLiteral("Del_entitle"), Database1,
                                   QStringLiteral("delete from accountentitle where account = :account"), this);
    entitlement = query("entitlement", QStringLiteral("select entitlementid from accountentitle where account =  :account"),
                        entitle, {QStringLiteral("EntitlementID")});
    Entitle_list = table("Entitle_list", QStringLiteral("dbo.entitlementlist"), QStringLiteral("id"),
                         allColumns(QStringLiteral("entitlementlist")), true);
    Entitlementlist = query("Entitlementlist",
                            QStringLiteral("select entitlevalue, description from entitlementlist where id < 199"),
                            QStringLiteral("entitlementlist"),
                            {QStringLiteral("entitlevalue"), QStringLiteral("Description")});

    symbol_data = table("symbol_data", QStringLiteral("dbo.symbol_lot_size"), {},
                        allColumns(QStringLiteral("symbol_lot_size")), true);

    const QString risk = QStringLiteral("riskman_file");
    VOXProfile = query("VOXProfile",
                       QStringLiteral("select value from riskman_file where targetsystem = 'ORD' and receiverID = 'ALL' "
                                      "and receivertype = 'ALL' and attribute = 'MKTRATIO'"),
                       risk, {QStringLiteral("value")});
    Security_Profile = query("Security_Profile",
                             QStringLiteral("select receiverID,attribute,value from riskman_file where targetsystem = "
                                            "'ORD' and receivertype = '0' and receiverid = :symbol"),
                             risk, {QStringLiteral("receiverid"), QStringLiteral("attribute"), QStringLiteral("value")});
    Security_Profile->addCalculatedField(QStringLiteral("SELLONLY"), FieldType::Boolean);
    Customer_Profile = query("Customer_Profile",
                             QStringLiteral("select receiverid,attribute,value,targetsystem from riskman_file where "
                                            "receivertype = '10' and receiverid = :account"),
                             risk,
                             {QStringLiteral("receiverid"), QStringLiteral("attribute"), QStringLiteral("value"),
                              QStringLiteral("targetsystem")});
    User_Profile = query("User_Profile",
                         QStringLiteral("select receiverid,attribute,value from riskman_file where targetsystem = 'ORD' "
                                        "and receivertype = '13' and receiverid = :userid"),
                         risk, {QStringLiteral("receiverid"), QStringLiteral("attribute"), QStringLiteral("value")});
    User_Profile->addCalculatedField(QStringLiteral("SUSPEND"), FieldType::Boolean);
    User_Profile->addCalculatedField(QStringLiteral("SKIPSSELL"), FieldType::Boolean);

    User_FileSet = new DataSource(QStringLiteral("User_FileSet"), User_File, this);
    Group_FileSet = new DataSource(QStringLiteral("Group_FileSet"), Group_File, this);
    Cust_infoset = new DataSource(QStringLiteral("Cust_infoset"), Customer_info, this);
    Symbol_set = new DataSource(QStringLiteral("Symbol_set"), symbol_data, this);
    CusSearch_Set = new DataSource(QStringLiteral("CusSearch_Set"), Cust_search, this);
}

TAdminData::~TAdminData()
{
    // Datasets go before the connection they read through.
    const auto datasets = findChildren<Dataset *>(Qt::FindDirectChildrenOnly);
    for (Dataset *d : datasets)
        d->close();
    if (g_instance == this)
        g_instance = nullptr;
}

void TAdminData::DataModuleCreate()
{
    QString dsn, user, password;
    {
        const std::unique_ptr<IniFile> ini = voxIniFile();
        const QStringList lines = ini->readSectionValues(QStringLiteral("VOX_DATABASE"));
        dsn = valueFromList(lines, QStringLiteral("DSN_source"));
        user = valueFromList(lines, QStringLiteral("DSN_user"));
        password = valueFromList(lines, QStringLiteral("DSN_password"));
    }
    Database1->setAliasName(QStringLiteral("voxdata"));
    Database1->setParams(dsn, user, password);
    try {
        Database1->open();
    } catch (...) {
        throw VoxError(QStringLiteral("Database connection problem. Please check setting!"));
    }
}
