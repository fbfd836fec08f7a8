#pragma once

#include "db/AuditTrail.h"
#include "db/DbConnection.h"
#include "db/TableView.h"

#include <QObject>

// Connects a dataset to the window controls that show it.
class DataSource : public QObject
{
    Q_OBJECT
public:
    DataSource(const QString &name, Dataset *dataset, QObject *parent)
        : QObject(parent)
        , m_dataset(dataset)
    {
        setObjectName(name);
    }
    Dataset *dataset() const { return m_dataset; }

private:
    Dataset *m_dataset;
};

// The data module: the one database connection and every shared dataset.
// It also owns the service clients (as its children) until the program
// ends.
class TAdminData : public QObject
{
    Q_OBJECT
public:
    explicit TAdminData(QObject *parent = nullptr);
    ~TAdminData() override;

    static TAdminData *instance();
    // The data module, which every window needs; raises when there is none.
    static TAdminData &required();

    // Reads section VOX_DATABASE of the configuration and connects. Any
    // connection failure raises "Database connection problem. Please check
    // setting!"; the datasets then connect again when they open.
    void DataModuleCreate();

    DbConnection *Database1;
    // The trail every post through Database1 is recorded in.
    AuditTrail *Audit;

    // User_File
    TableView *User_File;
    TableView *User_bak;
    Query *Query_alluser;
    Query *Query_User;
    // Group_File and the right catalogue
    TableView *Group_File;
    SqlStatement *Update_group;
    TableView *RightList;
    // customer_file
    TableView *customer_file;
    Query *Customer_info;
    TableView *Cust_bak;
    TableView *Cust_search;
    Query *internet_acct;
    SqlStatement *query_bodCustomerFileInsert;
    // customer_info
    Query *Acct_info;
    // DeviceAccount
    TableView *Acct_Login;
    TableView *deviceaccount;
    Query *Query_deviceacct;
    Query *deviceacct;
    // AccountEntitle and its catalogue
    TableView *Entitle_file;
    Query *Query_entitle;
    SqlStatement *Del_entitle;
    Query *entitlement;
    TableView *Entitle_list;
    Query *Entitlementlist;
    // symbol_lot_size
    TableView *symbol_data;
    // riskman_file
    Query *VOXProfile;
    Query *Security_Profile;
    Query *Customer_Profile;
    Query *User_Profile;

    // Data sources
    DataSource *User_FileSet;
    DataSource *Group_FileSet;
    DataSource *Cust_infoset;
    DataSource *Symbol_set;
    DataSource *CusSearch_Set;

    // The text of Query_User as it is defined; the login replaces it.
    static const char *const QueryUserSql;

private:
    TableView *table(const char *name, const QString &tableName, const QString &orderBy,
                     const QStringList &columns, bool readOnly);
    Query *query(const char *name, const QString &sql, const QString &catalog,
                 const QStringList &columns);
};
