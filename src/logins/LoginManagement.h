#pragma once

#include "logins/LoginMailer.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>

class TAdminData;

// What the login management rules see of their window.
class LoginManView
{
public:
    virtual ~LoginManView() = default;

    virtual QString searchText() const = 0;  // EdtAcct
    virtual int usageIndex() const = 0;      // Usage position
    virtual QString usageText() const = 0;
    virtual void setPasswordShown(bool shown) = 0;      // Passwordedt and its label
    virtual void setLengthShown(bool shown) = 0;        // Length1 and "Password Length"
    virtual void setLengthEnabled(bool enabled) = 0;
    virtual QString lengthText() const = 0;
    virtual void setLengthText(const QString &text) = 0;
    virtual void setDetailsEnabled(bool enabled) = 0;   // GroupBox1
    virtual void setSaveEnabled(bool enabled) = 0;
    virtual QString loginNumber() const = 0;            // AcctEdt
    virtual void setLoginNumber(const QString &text) = 0;
    virtual int deviceTypeIndex() const = 0;            // Devicetype; -1 none
    virtual QString deviceTypeText() const = 0;
    virtual void setDeviceTypeIndex(int index) = 0;
    virtual int deviceTypeCount() const = 0;
    virtual QString deviceTypeAt(int index) const = 0;
    virtual QString deviceId() const = 0;               // Deviceidedt
    virtual void setDeviceId(const QString &text) = 0;
    virtual QString password() const = 0;               // Passwordedt
    virtual void setPassword(const QString &text) = 0;
    virtual void setPasswordEnabled(bool enabled) = 0;
    virtual void setRandomShown(bool shown) = 0;        // RandomBox
    virtual bool randomChecked() const = 0;
    // Changes the box without any handler; the rules apply the toggle.
    virtual void setRandomChecked(bool checked) = 0;
    virtual void focusSearch() = 0;
    virtual void focusDeviceId() = 0;
};

// Random passwords, codes and reference ids, drawn from the operating
// system's secure generator without bias.
namespace LoginRandom {
// A whole number from 0 up to, but not including, bound (> 0).
quint32 below(quint32 bound);
// The password character for r in 0..61: "A".."Z", "a".."z", "0".."9".
QChar alphabetChar(quint32 r);
// One random password character.
QChar randalphanum();
QString password(int length);
// The decimal text of a number below 999999.
QString twmCode();
// Two numbers, below 1410065407 and below 99999, written one after the other.
QString referenceId();
} // namespace LoginRandom

// Splits a comma-text ("a, b,\"c, d\",,e") into entries: commas and
// blanks or control characters separate, blanks around a comma are skipped,
// double quotes enclose an entry that may hold commas and blanks (a doubled
// quote standing for one), and two commas in a row give an empty entry.
QStringList splitCommaText(const QString &text);

// The rules of the Login Management window: looking up the account or
// dealer and its device login, and storing the login with its access code.
class LoginManagement
{
public:
    enum class Mode { None, Adding, Editing };
    enum Position { Internet = 0, TWM = 1, MCard = 2 };

    LoginManagement(TAdminData &data, LoginManView &view);

    static QStringList fixedDevices();
    // The fixed names followed by the configured devicelist entries.
    static QStringList deviceNames();

    Mode mode() const { return m_mode; }
    // The last password or code produced by a save.
    QString lastPassword() const { return m_lastPassword; }

    void search();
    void devicetypeClick();
    void randomBoxClick();
    void genmcardid();
    void save();

    // Replaces printing (tests); the default prints the mailer.
    using Printer = std::function<void(const TLoginMailer &, const QString &password, const QString &login)>;
    void setPrinter(Printer printer) { m_printer = std::move(printer); }
    const TLoginMailer &mailer() const { return m_mailer; }

    static constexpr const char *NoAccount = "This account does not exist!";
    static constexpr const char *NoUser = "This user does not exist!";
    static constexpr const char *AskAdd = "No extra information about this login is defined. Do you want to add one?";
    static constexpr const char *LongDeviceId = "Please input DEVICEID with 15 or less characters!";
    // The access code is the digest of the password's 8-bit characters: a
    // character beyond them would be hashed as "?" and the printed password
    // would never match.
    static constexpr const char *PasswordNot8Bit =
        "The password may only hold characters of the 8-bit character set.";

private:
    void clearDetails();
    void applyRandom(bool checked);
    // Reads the login of the key into the window and keeps its values as
    // read; false when there is none.
    bool loadLogin(const QString &account, const QString &device, int userType);

    TAdminData &m_data;
    LoginManView &m_view;
    TLoginMailer m_mailer;
    Printer m_printer;
    Mode m_mode = Mode::None;
    // The stored key of the record being edited.
    QString m_keyAccount, m_keyDevice;
    int m_keyUserType = 1;
    // Every column of the record being edited as it was read: it is
    // written only while the table still holds these.
    QVariantMap m_read;
    QString m_lastPassword;
};
