-- Tables of the administration console on SQL Server (owner dbo).
-- Statements end with a semicolon at the end of a line.

CREATE TABLE dbo.User_File (
    User_No           char(8)     NOT NULL,
    Full_Name         char(20)    NULL,
    AdminUser         int         NULL,
    TradeLimit        float       NULL,
    SEHK              char(6)     NULL,
    Authority         text        NULL,
    Entitlement       varchar(50) NULL,
    User_Group        char(10)    NULL,
    Active            char(10)    NULL,
    DateTime_Created  datetime    NULL,
    DateTime_Modified rowversion,
    User_Password     char(10)    NULL,
    Member            text        NULL,
    PasswordHash      char(40)    NULL,
    DummyAc           char(20)    NULL,
    CONSTRAINT PK_User_File PRIMARY KEY (User_No)
);

CREATE TABLE dbo.Group_File (
    GroupID    char(10) NOT NULL,
    GroupName  char(20) NULL,
    TradeLimit float    NULL,
    Authority  text     NULL,
    CONSTRAINT PK_Group_File PRIMARY KEY (GroupID)
);

CREATE TABLE dbo.RightList (
    ManuName   char(100) NULL,
    ActionName char(100) NULL
);

CREATE TABLE dbo.customer_file (
    Account           char(20)    NOT NULL,
    Active            bit         NOT NULL,
    User_No           char(8)     NULL,
    Chn_Name          char(10)    NULL,
    Account_Name      char(100)   NULL,
    First_Name        char(100)   NULL,
    Family_Name       char(10)    NULL,
    Limit             float       NULL,
    Cash_Bal          float       NULL,
    Currency          char(10)    NULL,
    Day_Tel_1         char(20)    NULL,
    Mobile            char(20)    NULL,
    Home_Tel          char(20)    NULL,
    E_Mail            char(20)    NULL,
    Fax               char(20)    NULL,
    Margin            int         NULL,
    DateTime_Created  datetime    NULL,
    DateTime_Modified rowversion,
    password          char(20)    NULL,
    Entitlement       varchar(50) NULL,
    CONSTRAINT PK_customer_file PRIMARY KEY (Account)
);

CREATE TABLE dbo.BOD_Customer_File (
    Account  char(20) NOT NULL,
    Limit    float    NULL,
    Active   bit      NULL,
    Margin   int      NULL,
    Cash_Bal float    NULL,
    Currency char(10) NULL
);

CREATE TABLE dbo.customer_info (
    Account       char(8)      NULL,
    Eng_Name      char(150)    NULL,
    Chi_Name      char(10)     NULL,
    Address1      varchar(100) NULL,
    Address2      varchar(100) NULL,
    Address3      varchar(100) NULL,
    Tel_No_Office char(15)     NULL,
    Tel_No_Home   char(15)     NULL,
    Tel_No_Mobile char(15)     NULL,
    Fax           char(15)     NULL,
    Email_Address char(20)     NULL,
    User_No       char(8)      NULL,
    Margin_Type   int          NULL,
    Customer_Type char(1)      NULL,
    Client_Class  char(1)      NULL,
    Status        char(1)      NULL,
    Client_Title  char(8)      NULL
);

CREATE TABLE dbo.DeviceAccount (
    DeviceName  char(20)     NOT NULL,
    ReferenceID varchar(15)  NULL,
    AccessCode  varchar(100) NULL,
    isEncrypted bit          NOT NULL,
    ExpireDate  datetime     NULL,
    Enabled     bit          NOT NULL,
    UserType    smallint     NOT NULL,
    Account     char(20)     NOT NULL,
    CONSTRAINT PK_DeviceAccount PRIMARY KEY (Account, DeviceName, UserType)
);

CREATE TABLE dbo.AccountEntitle (
    EntitlementID char(20) NOT NULL,
    ExpireDate    datetime NULL,
    Enabled       bit      NOT NULL,
    UserType      smallint NOT NULL,
    Account       char(20) NOT NULL
);

CREATE TABLE dbo.entitlementlist (
    id           int      NOT NULL,
    entitlevalue char(10) NULL,
    Description  char(50) NULL
);

CREATE TABLE dbo.symbol_lot_size (
    symbol        char(10) NOT NULL,
    size          char(10) NULL,
    symbol_name   char(30) NULL,
    point         float    NULL,
    l_price       float    NULL,
    c_symbol_name char(30) NULL
);

CREATE TABLE dbo.riskman_file (
    targetsystem char(15)    NULL,
    receivertype varchar(10) NULL,
    receiverid   char(15)    NULL,
    attribute    varchar(25) NULL,
    value        varchar(10) NULL
);

-- The windows read a receiver's rules by its id.
CREATE INDEX riskman_receiver ON dbo.riskman_file (receiverid);

-- The console's audit trail: one row per changed column or command sent.
CREATE TABLE dbo.Admin_Audit (
    Audit_ID    int          IDENTITY(1,1) PRIMARY KEY,
    Logged_At   datetime     NOT NULL,
    User_No     varchar(8)   NULL,
    Host_Name   varchar(64)  NULL,
    Change_Kind varchar(10)  NOT NULL,
    Table_Name  varchar(40)  NULL,
    Record_Key  varchar(100) NULL,
    Column_Name varchar(40)  NULL,
    Old_Value   varchar(max) NULL,
    New_Value   varchar(max) NULL,
    Service     varchar(20)  NULL,
    Outcome     varchar(20)  NULL
);
CREATE INDEX admin_audit_logged ON dbo.Admin_Audit (Logged_At);
