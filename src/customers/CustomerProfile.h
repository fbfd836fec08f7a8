#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class TAdminData;

// What the customer profile rules need of the window that shows them.
class CustomerProfileView
{
public:
    virtual ~CustomerProfileView() = default;
    virtual QString accountText() const = 0;
    virtual void setAccountText(const QString &text) = 0;
    virtual void setAccountName(const QString &name) = 0;
    virtual QString upFrontText() const = 0;
    virtual void setUpFrontText(const QString &text) = 0;
    virtual QString shortSellText() const = 0;
    virtual void setShortSellText(const QString &text) = 0;
    // Setting a box from here is not the operator's change: the rule that
    // "Suspend Trading" clears "Sell Only" does not fire.
    virtual bool suspend() const = 0;
    virtual void setSuspend(bool on) = 0;
    virtual bool sellOnly() const = 0;
    virtual void setSellOnly(bool on) = 0;
    virtual bool dayTrade() const = 0;
    virtual void setDayTrade(bool on) = 0;
    virtual QStringList deviceLines() const = 0;
    virtual void setDeviceLines(const QStringList &lines) = 0;
    virtual void setDeviceListVisible(bool visible) = 0;
};

// The device status lines: channel name at the left, status word ending at
// the 28th character.
namespace DeviceLine {
extern const QString TwmEnabled;
extern const QString TwmDisabled;
extern const QString InternetEnabled;
extern const QString InternetDisabled;
// The line with its status turned over (TWM stays TWM, Internet stays
// Internet); any other text unchanged.
QString toggled(const QString &line);
// The channel command a line stands for, for account; raises for a text
// that is none of the four lines.
QString command(const QString &line, const QString &account);
} // namespace DeviceLine

// The restrictions of one customer account: up-front ratio, short-sell
// limit, suspension, sell-only, day trade and the TWM and Internet
// channels, read from riskman_file and DeviceAccount and changed by
// risk-manager commands.
class CustomerProfile
{
public:
    using Sender = std::function<void(const QString &command)>;

    // send defaults to the risk-manager client.
    CustomerProfile(TAdminData &data, CustomerProfileView &view, Sender send = {});

    // Empties the device list and forgets what a lookup loaded.
    void reset();
    // Looks the account of the view up ("No such account defined in the
    // system!") and fills every control from the account's rows. The
    // controls are cleared first and stay cleared when the lookup fails.
    void lookup();
    // The commands Save sends, in order, every field checked. Raises, and
    // builds nothing, when the account field does not hold the account the
    // last successful lookup loaded (letter case and surrounding blanks
    // aside).
    QStringList saveCommands() const;
    // Sends saveCommands(); nothing is sent when any cannot be built.
    void save();

    // The account the last successful lookup loaded (empty when none did).
    const QString &loadedAccount() const { return m_account; }
    const QString &loadedUpFront() const { return m_upFront; }
    const QString &loadedShortSell() const { return m_shortSell; }
    bool hasTwmLogin() const { return m_twm; }
    bool hasInternetLogin() const { return m_internet; }

    static const char *const NoSuchAccount;
    static const char *const LookUpFirst;

private:
    // The account as stored whose number equals text, exact match first,
    // then letter case ignored; its name goes to name. Empty when none.
    QString findAccount(const QString &text, QString &name) const;
    bool hasLogin(const QString &account, const QString &device) const;
    QString internetLine(const QString &account) const;
    QString twmLine(const QString &account) const;

    TAdminData &m_data;
    CustomerProfileView &m_view;
    Sender m_send;
    QString m_account;
    QString m_upFront;
    QString m_shortSell;
    bool m_twm = false;
    bool m_internet = false;
};
