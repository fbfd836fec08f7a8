#include "DemoData.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace DemoDb {
namespace {

const QString CRLF = QStringLiteral("\r\n");

// One prepared insert into one table, executed once per row.
class TableWriter
{
public:
    TableWriter(QSqlDatabase &db, Engine engine, const QString &table, const QStringList &columns)
        : m_query(db), m_table(table), m_width(columns.size())
    {
        QStringList cols;
        for (const QString &c : columns)
            cols << columnName(c, engine);
        QStringList marks;
        marks.fill(QStringLiteral("?"), columns.size());
        const QString sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                .arg(tableName(table, engine), cols.join(QStringLiteral(", ")),
                                     marks.join(QStringLiteral(", ")));
        if (!m_query.prepare(sql))
            throw Error(QStringLiteral("%1: %2").arg(sql, m_query.lastError().text()));
    }

    void row(const QVariantList &values)
    {
        Q_ASSERT(values.size() == m_width);
        for (int i = 0; i < values.size(); ++i)
            m_query.bindValue(i, values.at(i));
        if (!m_query.exec())
            throw Error(QStringLiteral("Cannot insert into %1: %2")
                            .arg(m_table, m_query.lastError().text()));
    }

private:
    QSqlQuery m_query;
    QString m_table;
    int m_width;
};

QVariant nullText() { return QVariant(QMetaType::fromType<QString>()); }
QVariant nullDate() { return QVariant(QMetaType::fromType<QDateTime>()); }

QDateTime at(int year, int month, int day, int hour = 0, int minute = 0)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute));
}

// A rights or member list: every entry followed by CR LF.
QString lines(const QStringList &entries)
{
    QString text;
    for (const QString &e : entries)
        text += e + CRLF;
    return text;
}

const QString Login = QStringLiteral("Login Management");
const QString Risk = QStringLiteral("Risk Management");
const QString Administrator = QStringLiteral("Administrator");
const QString OrderEntry = QStringLiteral("Order Entry");
const QString TradeEnquiry = QStringLiteral("Trade Enquiry");
const QString PositionEnquiry = QStringLiteral("Position Enquiry");
const QString Report = QStringLiteral("Report");

struct Group {
    const char *id;
    const char *name;
    double tradeLimit;
    QStringList rights; // sorted, letter case ignored
};

const QVector<Group> &groups()
{
    static const QVector<Group> g = {
        {"DEALING", "DEALING DESK", 5000000, {OrderEntry, PositionEnquiry, TradeEnquiry}},
        {"SALES", "RETAIL SALES", 2000000, {OrderEntry, TradeEnquiry}},
        {"INST", "INSTITUTIONAL", 20000000, {OrderEntry, PositionEnquiry, Report, TradeEnquiry}},
    };
    return g;
}

QStringList groupRights(const QString &id)
{
    for (const Group &g : groups())
        if (id == QLatin1String(g.id))
            return g.rights;
    return {};
}

struct User {
    const char *no;
    const char *fullName;
    int adminUser;
    const char *group;
    QStringList rights; // empty: the group's template rights
    const char *password;
    QStringList members;
    const char *sehk;
};

const QVector<User> &users()
{
    static const QVector<User> u = {
        {"ADMIN", "SYSTEM ADMINISTRATOR", 9, "", {}, "admin", {}, ""},
        {"RISK01", "RISK OFFICER", 0, "", {Risk}, "risk", {}, ""},
        {"LOGIN01", "LOGIN OFFICER", 0, "", {Login}, "login", {}, ""},
        {"D001", "CHAN TAI MAN", 0, "DEALING", {}, "d001", {"D001", "D002"}, "1021"},
        {"D002", "WONG SIU MING", 0, "DEALING", {}, "d002", {"D002"}, "1022"},
        {"D003", "LEE KA YAN", 0, "SALES", {}, "d003", {"D003", "D005"}, "2031"},
        {"D004", "CHEUNG WING KEI", 0, "INST", {}, "d004", {"D004"}, "3041"},
        {"D005", "HO MEI LING", 0, "", {OrderEntry, TradeEnquiry}, "d005", {}, ""},
    };
    return u;
}

void insertUsersAndGroups(QSqlDatabase &db, Engine engine)
{
    TableWriter group(db, engine, QStringLiteral("Group_File"),
                      {"GroupID", "GroupName", "TradeLimit", "Authority"});
    for (const Group &g : groups())
        group.row({QString::fromLatin1(g.id), QString::fromLatin1(g.name), g.tradeLimit, lines(g.rights)});

    TableWriter user(db, engine, QStringLiteral("User_File"),
                     {"User_No", "Full_Name", "AdminUser", "TradeLimit", "SEHK", "Authority",
                      "Entitlement", "User_Group", "Active", "DateTime_Created", "User_Password",
                      "Member", "PasswordHash", "DummyAc"});
    int n = 0;
    for (const User &u : users()) {
        const QString no = QString::fromLatin1(u.no);
        const QString groupId = QString::fromLatin1(u.group);
        const QStringList rights = u.rights.isEmpty() ? groupRights(groupId) : u.rights;
        const bool dealer = no.startsWith(QLatin1Char('D'));
        const QString password = QString::fromLatin1(u.password);
        user.row({no, QString::fromLatin1(u.fullName), u.adminUser, dealer ? 1000000.0 : 0.0,
                  QString::fromLatin1(u.sehk), lines(rights), QString(), groupId,
                  QStringLiteral("Y"), at(2023, 1, 3, 9, n++), password, lines(u.members),
                  sha1Hex(password), dealer ? QStringLiteral("99") + no.mid(1) : QString()});
    }

    // One catalogue row per right name: the screens offer every ManuName.
    TableWriter right(db, engine, QStringLiteral("RightList"), {"ManuName", "ActionName"});
    const QList<QPair<QString, QString>> rights = {
        {Administrator, QStringLiteral("User Maintenance")},
        {Login, QStringLiteral("Login Management")},
        {Risk, QStringLiteral("Customer Profile")},
        {OrderEntry, QStringLiteral("Order Entry")},
        {TradeEnquiry, QStringLiteral("Trade Enquiry")},
        {PositionEnquiry, QStringLiteral("Position Enquiry")},
        {Report, QStringLiteral("Daily Report")},
        {QStringLiteral("Cash Enquiry"), QStringLiteral("Cash Enquiry")},
    };
    for (const auto &r : rights)
        right.row({r.first, r.second});
}

struct Person {
    const char *first;
    const char *family;
    const char *title;
};

// Forty customers; account 100000 + position.
const QVector<Person> &people()
{
    static const QVector<Person> p = {
        {"TAI MAN", "CHAN", "MR"},     {"SIU FONG", "WONG", "MS"},   {"KA MING", "LEE", "MR"},
        {"MEI YEE", "CHEUNG", "MRS"},  {"WING HONG", "LAU", "MR"},   {"HOI YAN", "NG", "MS"},
        {"CHI KEUNG", "HO", "MR"},     {"SUK HAN", "LEUNG", "MS"},   {"KWOK WAI", "TANG", "MR"},
        {"YUK LING", "YIP", "MS"},     {"MAN KIT", "KWAN", "MR"},    {"PUI SHAN", "FUNG", "MS"},
        {"CHUN HEI", "YEUNG", "MR"},   {"LAI KUEN", "CHOW", "MRS"},  {"TSZ HIN", "MAK", "MR"},
        {"WAI YING", "TSANG", "MS"},   {"KIN WAH", "LAM", "MR"},     {"SZE WAN", "CHU", "MS"},
        {"HO YIN", "SIU", "MR"},       {"OI LAM", "POON", "MS"},     {"JOHN", "SMITH", "MR"},
        {"MARGARET", "BROWN", "MRS"},  {"DAVID", "WILSON", "MR"},    {"SARAH", "TAYLOR", "MS"},
        {"KA FAI", "CHIU", "MR"},      {"WING SZE", "KO", "MS"},     {"TAK SHING", "LO", "MR"},
        {"YAN TUNG", "SO", "MS"},      {"HON KEUNG", "TSE", "MR"},   {"MAN YEE", "CHAN", "MS"},
        {"PAK HO", "WONG", "MR"},      {"KIT YING", "LEE", "MS"},    {"CHI WAI", "CHEUNG", "MR"},
        {"LOK YI", "LAU", "MS"},       {"SHING FAT", "NG", "MR"},    {"WAI MAN", "HO", "MS"},
        {"PETER", "JONES", "MR"},      {"HELEN", "CLARKE", "MS"},    {"KWONG MING", "LEUNG", "MR"},
        {"SIU LAN", "TANG", "MRS"},
    };
    return p;
}

const char *const Streets[] = {"NATHAN ROAD", "QUEEN'S ROAD CENTRAL", "HENNESSY ROAD",
                               "KING'S ROAD", "CASTLE PEAK ROAD", "TAI PO ROAD",
                               "DES VOEUX ROAD WEST", "CANTON ROAD"};
const char *const Districts[] = {"MONG KOK, KOWLOON", "CENTRAL, HONG KONG", "WAN CHAI, HONG KONG",
                                 "NORTH POINT, HONG KONG", "TSUEN WAN, NEW TERRITORIES",
                                 "SHA TIN, NEW TERRITORIES", "SAI YING PUN, HONG KONG",
                                 "TSIM SHA TSUI, KOWLOON"};
const char *const Dealers[] = {"D001", "D002", "D003", "D004", "D005"};

QString account(int i) { return QString::number(100001 + i); }

void insertCustomers(QSqlDatabase &db, Engine engine)
{
    TableWriter cust(db, engine, QStringLiteral("customer_file"),
                     {"Account", "Active", "User_No", "Chn_Name", "Account_Name", "First_Name",
                      "Family_Name", "Limit", "Cash_Bal", "Currency", "Day_Tel_1", "Mobile",
                      "Home_Tel", "E_Mail", "Fax", "Margin", "DateTime_Created", "password",
                      "Entitlement"});
    TableWriter bod(db, engine, QStringLiteral("BOD_Customer_File"),
                    {"Account", "Limit", "Active", "Margin", "Cash_Bal", "Currency"});
    TableWriter info(db, engine, QStringLiteral("customer_info"),
                     {"Account", "Eng_Name", "Chi_Name", "Address1", "Address2", "Address3",
                      "Tel_No_Office", "Tel_No_Home", "Tel_No_Mobile", "Fax", "Email_Address",
                      "User_No", "Margin_Type", "Customer_Type", "Client_Class", "Status",
                      "Client_Title"});

    const QVector<Person> &all = people();
    for (int i = 0; i < all.size(); ++i) {
        const Person &p = all.at(i);
        const QString acct = account(i);
        const QString first = QString::fromLatin1(p.first);
        const QString family = QString::fromLatin1(p.family);
        const QString name = family + QLatin1Char(' ') + first;
        const QString dealer = QString::fromLatin1(Dealers[i % 5]);
        const bool margin = i % 4 == 3;
        const int active = (i == 38) ? 0 : 1; // one closed account
        const double limit = margin ? 500000.0 + 100000.0 * (i % 3) : 0.0;
        const double cash = 20000.0 + 7350.5 * ((i * 7) % 13);
        const QString office = QString::number(2520'0000 + i * 137);
        const QString home = QString::number(2380'0000 + i * 211);
        const QString mobile = QString::number(9100'0000 + i * 3571);
        const QString email = QStringLiteral("%1%2@mail.hk").arg(family.toLower()).arg(acct.right(3));

        cust.row({acct, active, dealer, QString(), name, first, family, limit, cash,
                  QStringLiteral("HKD"), office, mobile, home, email,
                  i % 3 == 0 ? QString::number(2520'9000 + i) : QString(), margin ? 1 : 0,
                  at(2023, 2 + i % 10, 1 + i % 27), QString(), QString()});
        bod.row({acct, limit, active, margin ? 1 : 0, cash, QStringLiteral("HKD")});
        info.row({acct, QStringLiteral("%1 %2 %3").arg(QString::fromLatin1(p.title), family, first),
                  QString(),
                  QStringLiteral("FLAT %1%2, %3/F").arg(1 + i % 28).arg(QChar(u'A' + i % 8)).arg(3 + i % 30),
                  QStringLiteral("%1 %2").arg(10 + i * 7).arg(QString::fromLatin1(Streets[i % 8])),
                  QString::fromLatin1(Districts[(i * 3) % 8]), office, home, mobile,
                  i % 3 == 0 ? QString::number(2520'9000 + i) : QString(), email, dealer,
                  margin ? 1 : 0, QStringLiteral("I"), i % 5 == 0 ? QStringLiteral("A") : QStringLiteral("B"),
                  active ? QStringLiteral("A") : QStringLiteral("C"), QString::fromLatin1(p.title)});
    }
}

// A few hundred more accounts, generated, so that the customer windows have
// a realistic list to page through: accounts 100041 to 100400.
constexpr int GeneratedCustomers = 360;

void insertMoreCustomers(QSqlDatabase &db, Engine engine)
{
    static const char *const families[] = {"CHAN", "WONG", "LEE", "CHEUNG", "LAU", "NG", "HO", "LEUNG",
                                           "TANG", "YIP", "KWAN", "FUNG", "YEUNG", "CHOW", "MAK", "LAM"};
    static const char *const givens[] = {"TAI MAN", "SIU MING", "KA YAN", "WING KEI", "MEI LING", "CHI WAI",
                                         "HOI TING", "KWOK HUNG", "SUK YEE", "MAN HO", "PUI KEI", "YAT FUNG",
                                         "LOK HIN", "SZE MAN", "KIN CHUNG", "WAI LAM", "TSZ CHING"};
    TableWriter cust(db, engine, QStringLiteral("customer_file"),
                     {"Account", "Active", "User_No", "Chn_Name", "Account_Name", "First_Name",
                      "Family_Name", "Limit", "Cash_Bal", "Currency", "Day_Tel_1", "Mobile",
                      "Home_Tel", "E_Mail", "Fax", "Margin", "DateTime_Created", "password",
                      "Entitlement"});
    TableWriter bod(db, engine, QStringLiteral("BOD_Customer_File"),
                    {"Account", "Limit", "Active", "Margin", "Cash_Bal", "Currency"});
    TableWriter info(db, engine, QStringLiteral("customer_info"),
                     {"Account", "Eng_Name", "Chi_Name", "Address1", "Address2", "Address3",
                      "Tel_No_Office", "Tel_No_Home", "Tel_No_Mobile", "Fax", "Email_Address",
                      "User_No", "Margin_Type", "Customer_Type", "Client_Class", "Status",
                      "Client_Title"});
    const int first = people().size();
    for (int i = first; i < first + GeneratedCustomers; ++i) {
        const QString acct = account(i);
        const QString family = QString::fromLatin1(families[(i * 7) % 16]);
        const QString given = QString::fromLatin1(givens[(i * 5) % 17]);
        const QString dealer = QString::fromLatin1(Dealers[(i * 3) % 5]);
        const bool margin = i % 6 == 0;
        const double limit = margin ? 300000.0 + 50000.0 * (i % 5) : 0.0;
        const double cash = 5000.0 + 1250.25 * ((i * 11) % 37);
        cust.row({acct, 1, dealer, QString(), family + QLatin1Char(' ') + given, given, family, limit, cash,
                  QStringLiteral("HKD"), QString::number(2500'0000 + i * 97), QString::number(6000'0000 + i * 4129),
                  QString::number(2700'0000 + i * 313),
                  QStringLiteral("%1%2@mail.hk").arg(family.toLower()).arg(acct.right(3)), QString(), margin ? 1 : 0,
                  at(2024, 1 + i % 12, 1 + i % 28), QString(), QString()});
        bod.row({acct, limit, 1, margin ? 1 : 0, cash, QStringLiteral("HKD")});
        info.row({acct, family + QLatin1Char(' ') + given, QString(),
                  QStringLiteral("FLAT %1, %2/F").arg(QChar(u'A' + i % 8)).arg(2 + i % 40),
                  QStringLiteral("%1 %2").arg(1 + i % 300).arg(QString::fromLatin1(Streets[i % 8])),
                  QString::fromLatin1(Districts[i % 8]), QString::number(2500'0000 + i * 97),
                  QString::number(2700'0000 + i * 313), QString::number(6000'0000 + i * 4129), QString(),
                  QStringLiteral("%1%2@mail.hk").arg(family.toLower()).arg(acct.right(3)), dealer, margin ? 1 : 0,
                  QStringLiteral("I"), QStringLiteral("B"), QStringLiteral("A"), QStringLiteral("MR")});
    }
}

void insertLogins(QSqlDatabase &db, Engine engine)
{
    TableWriter dev(db, engine, QStringLiteral("DeviceAccount"),
                    {"DeviceName", "ReferenceID", "AccessCode", "isEncrypted", "ExpireDate",
                     "Enabled", "UserType", "Account"});
    const QString internet = QStringLiteral("Internet");
    const QString twm = QStringLiteral("TWM");
    // Internet logins of the first twelve accounts: password "pass" + the
    // account's last three digits, stored as digest. 100007 is disabled.
    for (int i = 0; i < 12; ++i) {
        const QString acct = account(i);
        dev.row({internet, QString::number(84215530 + i * 9127) + QString::number(10000 + i * 311),
                 sha1Hex(QStringLiteral("pass") + acct.right(3)), 1,
                 i % 4 == 1 ? QVariant(at(2026, 12, 31)) : nullDate(), i == 6 ? 0 : 1, 1, acct});
    }
    // TWM logins: six-digit codes in plain text; 100007 disabled here too.
    for (int i = 0; i < 8; ++i) {
        const QString acct = account(i);
        dev.row({twm, QString::number(7310000 + i * 57), QString::number(135790 + i * 1111), 0,
                 nullDate(), i == 6 ? 0 : 1, 1, acct});
    }
    // A further device name of the configuration, stored like Internet.
    dev.row({QStringLiteral("WAP"), QStringLiteral("55120034"), sha1Hex(QStringLiteral("wap001")), 1,
             nullDate(), 1, 1, account(0)});
    // One plain-text Internet code, as older channel servers stored it.
    dev.row({internet, QStringLiteral("90011234"), QStringLiteral("plain020"), 0, nullDate(), 1, 1,
             account(19)});
    // Dealer cards: no access code.
    dev.row({QStringLiteral("MCard"), QStringLiteral("6201887300"), nullText(), 0, nullDate(), 1, 0,
             QStringLiteral("D001")});
    dev.row({QStringLiteral("MCard"), QStringLiteral("6201887301"), nullText(), 0,
             at(2026, 6, 30), 1, 0, QStringLiteral("D002")});
}

struct Entitlement {
    int id;
    const char *value;
    const char *description;
};

const QVector<Entitlement> &catalogue()
{
    static const QVector<Entitlement> c = {
        {1, "HKEQ", "Hong Kong Equities"},
        {2, "ITRADE", "Internet Trading"},
        {3, "TWM", "TWM Phone Trading"},
        {4, "MCARD", "Dealer Card Access"},
        {5, "RTQUOTE", "Real-time Quotes"},
        {6, "USEQ", "US Equities"},
        {7, "CNEQ", "China Connect A Shares"},
        {8, "IPO", "IPO Subscription"},
        {9, "MARGIN", "Margin Financing"},
        {10, "OPTION", "Stock Options"},
        {199, "SYSADM", "Back Office Administration"},
    };
    return c;
}

void insertEntitlements(QSqlDatabase &db, Engine engine)
{
    TableWriter list(db, engine, QStringLiteral("entitlementlist"), {"id", "entitlevalue", "Description"});
    for (const Entitlement &e : catalogue())
        list.row({e.id, QString::fromLatin1(e.value), QString::fromLatin1(e.description)});

    TableWriter grant(db, engine, QStringLiteral("AccountEntitle"),
                      {"EntitlementID", "ExpireDate", "Enabled", "UserType", "Account"});
    auto give = [&](const QString &who, int userType, const QStringList &values) {
        for (const QString &v : values)
            grant.row({v, nullDate(), 1, userType, who});
    };
    for (int i = 0; i < 12; ++i) {
        QStringList values = {QStringLiteral("HKEQ"), QStringLiteral("ITRADE")};
        if (i < 8)
            values << QStringLiteral("TWM");
        if (i % 3 == 0)
            values << QStringLiteral("USEQ");
        if (i % 4 == 3)
            values << QStringLiteral("MARGIN");
        give(account(i), 1, values);
    }
    give(account(12), 1, {QStringLiteral("HKEQ"), QStringLiteral("IPO")});
    give(QStringLiteral("D001"), 0, {QStringLiteral("HKEQ"), QStringLiteral("MCARD"), QStringLiteral("RTQUOTE")});
    give(QStringLiteral("D002"), 0, {QStringLiteral("HKEQ"), QStringLiteral("MCARD")});
    give(QStringLiteral("D004"), 0, {QStringLiteral("HKEQ"), QStringLiteral("OPTION"), QStringLiteral("SYSADM")});
}

struct Security {
    const char *symbol;
    const char *lot;
    const char *name;
    double tick;
    double last;
};

void insertSecurities(QSqlDatabase &db, Engine engine)
{
    static const Security securities[] = {
        {"00001", "500", "CKH HOLDINGS", 0.05, 41.25},
        {"00005", "400", "HSBC HOLDINGS", 0.05, 63.80},
        {"00011", "100", "HANG SENG BANK", 0.1, 98.45},
        {"00016", "500", "SHK PROPERTIES", 0.05, 72.10},
        {"00388", "100", "HKEX", 0.2, 281.60},
        {"00700", "100", "TENCENT", 0.2, 372.40},
        {"00883", "1000", "CNOOC", 0.02, 15.86},
        {"00941", "500", "CHINA MOBILE", 0.05, 71.35},
        {"01299", "200", "AIA", 0.05, 58.90},
        {"02318", "500", "PING AN", 0.05, 39.75},
        {"02800", "500", "TRACKER FUND", 0.02, 19.14},
        {"03988", "1000", "BANK OF CHINA", 0.01, 3.26},
        {"AAPL", "1", "APPLE INC", 0.01, 189.30},
        {"MSFT", "1", "MICROSOFT CORP", 0.01, 415.10},
        {"TSLA", "1", "TESLA INC", 0.01, 178.60},
    };
    TableWriter sym(db, engine, QStringLiteral("symbol_lot_size"),
                    {"symbol", "size", "symbol_name", "point", "l_price", "c_symbol_name"});
    QSet<QString> named;
    for (const Security &s : securities) {
        sym.row({QString::fromLatin1(s.symbol), QString::fromLatin1(s.lot), QString::fromLatin1(s.name),
                 s.tick, s.last, QString()});
        named.insert(QString::fromLatin1(s.symbol));
    }
    // A few hundred more listed codes with made-up names.
    static const char *const first[] = {"GOLDEN", "PACIFIC", "HARBOUR", "DRAGON", "PEARL", "EASTERN",
                                        "JADE", "VICTORIA", "LION ROCK", "SILVER"};
    static const char *const second[] = {"HOLDINGS", "PROPERTIES", "ENERGY", "TECHNOLOGY", "LOGISTICS",
                                         "FINANCIAL", "RESOURCES", "PHARMA", "FOODS", "INDUSTRIAL", "TEXTILES"};
    const char *const lots[] = {"100", "200", "500", "1000", "2000"};
    for (int i = 0; i < 400; ++i) {
        const QString code = QStringLiteral("%1").arg(2 + i * 17, 5, 10, QLatin1Char('0'));
        if (named.contains(code))
            continue;
        const double last = 0.5 + ((i * 37) % 900) / 10.0;
        sym.row({code, QString::fromLatin1(lots[i % 5]),
                 QStringLiteral("%1 %2").arg(QString::fromLatin1(first[i % 10]), QString::fromLatin1(second[(i / 10) % 11])),
                 last < 10 ? 0.01 : 0.05, last, QString()});
    }
}

void insertRiskRules(QSqlDatabase &db, Engine engine)
{
    struct Rule {
        const char *target, *type, *id, *attribute, *value;
    };
    // The state the risk manager would hold after these commands.
    static const Rule rules[] = {
        {"ORD", "ALL", "ALL", "MKTRATIO", "0.5"},
        {"ORD", "10", "100003", "SUSPEND", ""},
        {"ORD", "10", "100004", "SELL", ""},
        {"ORD", "10", "100005", "UPFR", "0.3"},
        {"ORD", "10", "100005", "SSELL", "50000"},
        {"ORD", "10", "100006", "DAYTRADE", ""},
        {"ORD", "10", "100010", "SELL", ""},
        {"ITS", "10", "100007", "SUSPEND", ""},
        {"TWMADMIN", "10", "100007", "SUSPEND", ""},
        {"ORD", "13", "D003", "SUSPEND", ""},
        {"ORD", "13", "D001", "SKIPSSELL", ""},
        {"ORD", "0", "00941", "UPFR", "0.5"},
        {"ORD", "0", "02800", "SELL", ""},
        {"ORD", "0", "TSLA", "UPFR", "1"},
    };
    TableWriter risk(db, engine, QStringLiteral("riskman_file"),
                     {"targetsystem", "receivertype", "receiverid", "attribute", "value"});
    for (const Rule &r : rules)
        risk.row({QString::fromLatin1(r.target), QString::fromLatin1(r.type), QString::fromLatin1(r.id),
                  QString::fromLatin1(r.attribute), QString::fromLatin1(r.value)});
    // Restrictions on some of the generated accounts and codes.
    const QString ord = QStringLiteral("ORD");
    for (int i = people().size(); i < people().size() + GeneratedCustomers; i += 13) {
        const QString acct = account(i);
        risk.row({ord, QStringLiteral("10"), acct, QStringLiteral("UPFR"), QString::number(0.2 + (i % 5) / 10.0)});
        if (i % 3 == 0)
            risk.row({ord, QStringLiteral("10"), acct, QStringLiteral("SUSPEND"), QString()});
        if (i % 3 == 1)
            risk.row({ord, QStringLiteral("10"), acct, QStringLiteral("SSELL"), QString::number(10000 * (1 + i % 7))});
    }
    for (int i = 3; i < 400; i += 29) {
        const QString code = QStringLiteral("%1").arg(2 + i * 17, 5, 10, QLatin1Char('0'));
        risk.row({ord, QStringLiteral("0"), code, i % 2 ? QStringLiteral("SELL") : QStringLiteral("UPFR"),
                  i % 2 ? QString() : QStringLiteral("0.8")});
    }
}

} // namespace

QString sha1Hex(const QString &text)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(text.toLatin1(), QCryptographicHash::Sha1).toHex().toUpper());
}

void insertDemoData(QSqlDatabase &db, Engine engine)
{
    insertUsersAndGroups(db, engine);
    insertCustomers(db, engine);
    insertMoreCustomers(db, engine);
    insertLogins(db, engine);
    insertEntitlements(db, engine);
    insertSecurities(db, engine);
    insertRiskRules(db, engine);
}

} // namespace DemoDb
