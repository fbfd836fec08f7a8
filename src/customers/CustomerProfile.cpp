#include "customers/CustomerProfile.h"

#include "core/VoxError.h"
#include "db/AdminData.h"
#include "net/RiskCommand.h"
#include "net/Services.h"

namespace DeviceLine {
const QString TwmEnabled = QStringLiteral("TWM                  enabled");
const QString TwmDisabled = QStringLiteral("TWM                 disabled");
const QString InternetEnabled = QStringLiteral("Internet             enabled");
const QString InternetDisabled = QStringLiteral("Internet            disabled");

QString toggled(const QString &line)
{
    if (line == TwmEnabled)
        return TwmDisabled;
    if (line == TwmDisabled)
        return TwmEnabled;
    if (line == InternetEnabled)
        return InternetDisabled;
    if (line == InternetDisabled)
        return InternetEnabled;
    return line;
}

QString command(const QString &line, const QString &account)
{
    const QString suspend = QLatin1String(voxRisk::Suspend);
    const QString type = QLatin1String(voxRisk::Account);
    if (line == TwmEnabled || line == TwmDisabled)
        return riskFlagCommand(line == TwmDisabled, suspend, QLatin1String(voxRisk::Twm), type, account);
    if (line == InternetEnabled || line == InternetDisabled)
        return riskFlagCommand(line == InternetDisabled, suspend, QLatin1String(voxRisk::Internet), type, account);
    throw VoxError(QStringLiteral("Unknown device line \"%1\".").arg(line));
}
} // namespace DeviceLine

const char *const CustomerProfile::NoSuchAccount = "No such account defined in the system!";
const char *const CustomerProfile::LookUpFirst =
    "Look the account up before saving: the account field does not hold the account shown.";

namespace {
const QString TwmDevice = QStringLiteral("TWM");
const QString InternetDevice = QStringLiteral("Internet");

// Rows of a query read to the end; the query is closed again.
template <typename F>
void eachRow(Query &q, F &&row)
{
    q.close();
    q.open();
    for (q.first(); !q.eof(); q.next())
        row(q);
    q.close();
}

int rowCount(Query &q)
{
    int n = 0;
    eachRow(q, [&](Query &) { ++n; });
    return n;
}
} // namespace

CustomerProfile::CustomerProfile(TAdminData &data, CustomerProfileView &view, Sender send)
    : m_data(data)
    , m_view(view)
    , m_send(send ? std::move(send) : Sender(&sendRiskCommand))
{
}

void CustomerProfile::reset()
{
    m_view.setDeviceLines({});
    m_view.setDeviceListVisible(false);
    m_twm = m_internet = false;
    m_account.clear();
    m_upFront.clear();
    m_shortSell.clear();
}

QString CustomerProfile::findAccount(const QString &text, QString &name) const
{
    Query q(QStringLiteral("Cust_lookup"), m_data.Database1);
    q.setCatalogTable(QStringLiteral("customer_file"));
    q.setParam(QStringLiteral("account"), text);
    // An exact match first, which the key finds at once; letter case is
    // ignored only when there is none.
    q.setSql(QStringLiteral("select account, account_name from dbo.Customer_File where account = :account"));
    QString found;
    eachRow(q, [&](Query &row) {
        if (found.isEmpty()) {
            found = row.fieldByName(QStringLiteral("account"))->asString();
            name = row.fieldByName(QStringLiteral("account_name"))->asString();
        }
    });
    if (!found.isEmpty())
        return found;
    q.setSql(QStringLiteral("select account, account_name from dbo.Customer_File where upper(account) = :account "
                            "order by account"));
    q.setParam(QStringLiteral("account"), text.toUpper());
    eachRow(q, [&](Query &row) {
        if (found.isEmpty()) {
            found = row.fieldByName(QStringLiteral("account"))->asString();
            name = row.fieldByName(QStringLiteral("account_name"))->asString();
        }
    });
    return found;
}

bool CustomerProfile::hasLogin(const QString &account, const QString &device) const
{
    Query q(QStringLiteral("deviceaccount_check"), m_data.Database1);
    q.setCatalogTable(QStringLiteral("dbo.DeviceAccount"));
    q.setSql(QStringLiteral("select account from dbo.DeviceAccount where upper(account) = :account and "
                            "upper(devicename) = :device"));
    q.setParam(QStringLiteral("account"), account.toUpper());
    q.setParam(QStringLiteral("device"), device.toUpper());
    return rowCount(q) > 0;
}

QString CustomerProfile::internetLine(const QString &account) const
{
    Query &q = *m_data.Query_deviceacct;
    q.setParam(QStringLiteral("account"), account);
    q.setParam(QStringLiteral("type"), InternetDevice);
    int n = 0;
    bool enabled = false;
    eachRow(q, [&](Query &row) {
        ++n;
        enabled = row.fieldByName(QStringLiteral("enabled"))->asBoolean();
    });
    if (n == 0)
        return DeviceLine::InternetDisabled;
    if (n == 1)
        return enabled ? DeviceLine::InternetEnabled : DeviceLine::InternetDisabled;
    return {};
}

QString CustomerProfile::twmLine(const QString &account) const
{
    // The base statement with the two conditions of this step only; the
    // shared dataset keeps its own text.
    Query q(QStringLiteral("Customer_Profile_TWM"), m_data.Database1);
    q.setCatalogTable(QStringLiteral("riskman_file"));
    q.setSql(m_data.Customer_Profile->sql() + QStringLiteral("\nand targetsystem = 'TWMADMIN'\nand Attribute = 'SUSPEND'"));
    q.setParam(QStringLiteral("account"), account);
    const int n = rowCount(q);
    if (n == 0)
        return DeviceLine::TwmEnabled;
    if (n == 1)
        return DeviceLine::TwmDisabled;
    return {};
}

void CustomerProfile::lookup()
{
    reset();
    m_view.setUpFrontText(QString());
    m_view.setShortSellText(QString());
    m_view.setSuspend(false);
    m_view.setSellOnly(false);
    m_view.setDayTrade(false);
    m_view.setAccountName(QString());

    const QString text = m_view.accountText().trimmed();
    QString name;
    if (text.isEmpty() || findAccount(text, name).isEmpty())
        throw VoxError(QString::fromLatin1(NoSuchAccount));

    const bool twm = hasLogin(text, TwmDevice);
    const bool internet = hasLogin(text, InternetDevice);

    QString receiver, upFront, shortSell;
    bool suspend = false, sell = false, dayTrade = false;
    Query &profile = *m_data.Customer_Profile;
    profile.setParam(QStringLiteral("account"), text);
    eachRow(profile, [&](Query &row) {
        if (row.fieldByName(QStringLiteral("targetsystem"))->asString().trimmed()
            != QLatin1String(voxRisk::OrderServer))
            return;
        receiver = row.fieldByName(QStringLiteral("receiverid"))->asString().trimmed();
        const QString attribute = row.fieldByName(QStringLiteral("attribute"))->asString();
        const QString value = row.fieldByName(QStringLiteral("value"))->asString();
        if (attribute == QLatin1String(voxRisk::Suspend))
            suspend = true;
        else if (attribute == QLatin1String(voxRisk::DayTrade))
            dayTrade = true;
        else if (attribute == QLatin1String(voxRisk::SellOnly))
            sell = true;
        else if (attribute == QLatin1String(voxRisk::ShortSell))
            shortSell = value;
        else if (attribute == QLatin1String(voxRisk::UpFrontRatio))
            upFront = value;
    });

    QStringList lines;
    if (internet) {
        const QString line = internetLine(text);
        if (!line.isEmpty())
            lines << line;
    }
    if (twm) {
        const QString line = twmLine(text);
        if (!line.isEmpty())
            lines << line;
    }

    // Everything was read: the controls are filled in one go.
    m_view.setAccountName(name);
    if (!receiver.isEmpty())
        m_view.setAccountText(receiver);
    m_view.setSuspend(suspend);
    m_view.setSellOnly(sell);
    m_view.setDayTrade(dayTrade);
    m_view.setShortSellText(shortSell);
    m_view.setUpFrontText(upFront);
    m_view.setDeviceListVisible(twm || internet);
    m_view.setDeviceLines(lines);
    m_shortSell = shortSell;
    m_upFront = upFront;
    m_twm = twm;
    m_internet = internet;
    m_account = receiver.isEmpty() ? text : receiver;
}

QStringList CustomerProfile::saveCommands() const
{
    const QString account = m_view.accountText().trimmed();
    if (m_account.isEmpty() || account.compare(m_account, Qt::CaseInsensitive) != 0)
        throw VoxError(QString::fromLatin1(LookUpFirst));
    const QString target = QLatin1String(voxRisk::OrderServer);
    const QString type = QLatin1String(voxRisk::Account);
    QStringList commands;
    const QString ratio = m_view.upFrontText();
    if (ratio != m_upFront) {
        commands << (ratio.isEmpty()
                         ? riskUnsetCommand(QLatin1String(voxRisk::UpFrontRatio), target, type, account)
                         : riskSetCommand(QLatin1String(voxRisk::UpFrontRatio), ratio, target, type, account));
    }
    const QString limit = m_view.shortSellText();
    if (limit != m_shortSell) {
        commands << (limit.isEmpty()
                         ? riskUnsetCommand(QLatin1String(voxRisk::ShortSell), target, type, account)
                         : riskSetCommand(QLatin1String(voxRisk::ShortSell), limit, target, type, account));
    }
    commands << riskFlagCommand(m_view.suspend(), QLatin1String(voxRisk::Suspend), target, type, account);
    commands << riskFlagCommand(m_view.sellOnly(), QLatin1String(voxRisk::SellOnly), target, type, account);
    commands << riskFlagCommand(m_view.dayTrade(), QLatin1String(voxRisk::DayTrade), target, type, account);
    for (const QString &line : m_view.deviceLines())
        commands << DeviceLine::command(line, account);
    return commands;
}

void CustomerProfile::save()
{
    const QStringList commands = saveCommands();
    for (const QString &c : commands)
        m_send(c);
}
