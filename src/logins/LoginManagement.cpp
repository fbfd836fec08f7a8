#include "logins/LoginManagement.h"

#include "config/VoxIniFile.h"
#include "core/Dialogs.h"
#include "core/VoxError.h"
#include "db/AdminData.h"
#include "logins/LoginsDb.h"
#include "users/SHA.h"

namespace {
QString digest(const QString &password)
{
    TSHA sha;
    sha.Init();
    sha.HashString(password);
    sha.Finish();
    return sha.GetHashString();
}

QVariant nullText()
{
    return QVariant(QMetaType(QMetaType::QString));
}
} // namespace

LoginManagement::LoginManagement(TAdminData &data, LoginManView &view)
    : m_data(data)
    , m_view(view)
    , m_mailer(data)
    , m_printer([](const TLoginMailer &mailer, const QString &password, const QString &login) {
        mailer.print(password, login);
    })
{
}

QStringList LoginManagement::fixedDevices()
{
    return {QStringLiteral("Internet"), QStringLiteral("TWM"), QStringLiteral("MCard")};
}

QStringList LoginManagement::deviceNames()
{
    const QString list = voxIniFile()->readString(QStringLiteral("TAMSEL"), QStringLiteral("devicelist"));
    return fixedDevices() + splitCommaText(list);
}

void LoginManagement::clearDetails()
{
    m_view.setLoginNumber(QString());
    m_view.setDeviceTypeIndex(-1);
    m_view.setDeviceId(QString());
    m_view.setPassword(QString());
}

void LoginManagement::search()
{
    m_mode = Mode::None;
    DbConnection &connection = *m_data.Database1;
    const bool dealer = m_view.usageIndex() == MCard;
    const QString number = m_view.searchText();
    if (!dealer) {
        m_view.setPasswordShown(true);
        if (!LoginsDb::rowExists(connection, QStringLiteral("dbo.Customer_File"), QStringLiteral("account"), number)) {
            Dialogs::instance().error(QString::fromLatin1(NoAccount));
            m_view.focusSearch();
            clearDetails();
            m_view.setDetailsEnabled(true);
            m_view.setSaveEnabled(false);
            return;
        }
    } else {
        m_view.setPasswordShown(false);
        m_view.setLengthShown(false);
        if (!LoginsDb::rowExists(connection, QStringLiteral("dbo.User_File"), QStringLiteral("User_no"), number)) {
            clearDetails();
            m_view.setDetailsEnabled(false);
            m_view.setSaveEnabled(false);
            Dialogs::instance().error(QString::fromLatin1(NoUser));
            m_view.focusSearch();
            return;
        }
    }
    m_view.setSaveEnabled(true);

    const int userType = dealer ? 0 : 1;
    Query login(QStringLiteral("login_lookup"), &connection);
    login.setCatalogTable(QStringLiteral("dbo.DeviceAccount"));
    login.setSql(QStringLiteral("select account, devicename, usertype, referenceid from deviceaccount "
                                "where upper(account) = upper(:account) and upper(devicename) = upper(:devicename) "
                                "and usertype = :usertype"));
    login.setParam(QStringLiteral("account"), number);
    login.setParam(QStringLiteral("devicename"), m_view.usageText());
    login.setParam(QStringLiteral("usertype"), userType);
    login.open();
    const bool found = !login.isEmpty();
    if (found) {
        login.first();
        m_keyAccount = login.fieldByName(QStringLiteral("account"))->asString();
        m_keyDevice = login.fieldByName(QStringLiteral("devicename"))->asString();
        m_keyUserType = userType;
        const QString referenceId = login.fieldByName(QStringLiteral("referenceid"))->asString();
        login.close();

        m_view.setDetailsEnabled(true);
        m_mode = Mode::Editing;
        m_view.setLoginNumber(m_keyAccount);
        m_view.setDeviceId(referenceId);
        int index = -1;
        for (int i = 0; i < m_view.deviceTypeCount() && index < 0; ++i) {
            if (m_view.deviceTypeAt(i).compare(m_keyDevice, Qt::CaseInsensitive) == 0)
                index = i;
        }
        m_view.setDeviceTypeIndex(index);
        devicetypeClick();
        m_view.setPassword(QStringLiteral("******"));
        m_view.setSaveEnabled(true);
        return;
    }
    login.close();

    if (Dialogs::instance().question(QString::fromLatin1(AskAdd))) {
        m_view.setDetailsEnabled(true);
        m_view.setSaveEnabled(true);
        m_mode = Mode::Adding;
        m_view.setLoginNumber(number);
        m_view.setDeviceTypeIndex(m_view.usageIndex());
        devicetypeClick();
        m_view.setDeviceId(QString());
        m_view.setPassword(QString());
        if (!dealer)
            genmcardid();
    } else {
        m_view.setDetailsEnabled(false);
        m_view.setSaveEnabled(false);
    }
}

void LoginManagement::applyRandom(bool checked)
{
    if (m_view.randomChecked() == checked)
        return;
    m_view.setRandomChecked(checked);
    randomBoxClick();
}

void LoginManagement::devicetypeClick()
{
    const int position = m_view.deviceTypeIndex();
    if (position == TWM || position == MCard) {
        m_view.setRandomShown(false);
        applyRandom(false);
        m_view.setLengthShown(false);
        m_view.setLengthEnabled(false);
    } else {
        m_view.setRandomShown(true);
        applyRandom(true);
        m_view.setLengthShown(true);
        m_view.setLengthText(QStringLiteral("8"));
        m_view.setLengthEnabled(true);
    }
}

void LoginManagement::randomBoxClick()
{
    if (m_view.randomChecked()) {
        m_view.setPassword(QString());
        m_view.setPasswordEnabled(false);
    } else {
        m_view.setPasswordEnabled(true);
    }
}

void LoginManagement::genmcardid()
{
    m_view.setDeviceId(LoginRandom::referenceId());
}

void LoginManagement::save()
{
    // Everything is checked before anything is written or printed: the
    // layout first, then the fields.
    m_mailer.initreport();
    if (m_mode == Mode::None)
        throw VoxError(QStringLiteral("Search for a login before saving it."));

    const int position = m_view.deviceTypeIndex();
    const QString deviceId = m_view.deviceId();
    if (deviceId.size() > 15) {
        Dialogs::instance().error(QString::fromLatin1(LongDeviceId));
        m_view.focusDeviceId();
        m_view.setSaveEnabled(true);
        return;
    }

    QString deviceName;
    QString password;
    QVariant accessCode = nullText();
    bool encrypted = false;
    bool writeCode = true;
    bool mailer = true;
    if (position == TWM) {
        deviceName = QStringLiteral("TWM");
        password = LoginRandom::twmCode();
        accessCode = password;
    } else if (position == MCard) {
        deviceName = QStringLiteral("MCard");
        writeCode = false;
        mailer = false;
    } else {
        deviceName = m_view.deviceTypeText();
        if (deviceName.isEmpty())
            throw VoxError(QStringLiteral("Field 'DeviceName' must have a value"));
        encrypted = true;
        if (m_view.randomChecked()) {
            const QString lengthText = m_view.lengthText();
            bool ok = false;
            const int length = lengthText.trimmed().toInt(&ok);
            if (!ok)
                throw VoxError(QStringLiteral("'%1' is not a valid integer value").arg(lengthText));
            password = LoginRandom::password(length);
        } else {
            password = m_view.password();
        }
        accessCode = digest(password);
    }

    m_view.setSaveEnabled(false);
    DbConnection &connection = *m_data.Database1;
    const QString loginNumber = m_view.loginNumber();
    try {
        if (m_mode == Mode::Adding) {
            const QString account = loginNumber.toUpper();
            const int userType = position == MCard ? 0 : 1;
            SqlStatement insert(QStringLiteral("login_insert"), &connection,
                                QStringLiteral("insert into dbo.DeviceAccount (DeviceName, ReferenceID, AccessCode, "
                                               "isEncrypted, Enabled, UserType, Account) values (:devicename, "
                                               ":referenceid, :accesscode, :isencrypted, 1, :usertype, :account)"));
            insert.setParam(QStringLiteral("devicename"), deviceName);
            insert.setParam(QStringLiteral("referenceid"), deviceId);
            insert.setParam(QStringLiteral("accesscode"), accessCode);
            insert.setParam(QStringLiteral("isencrypted"), encrypted ? 1 : 0);
            insert.setParam(QStringLiteral("usertype"), userType);
            insert.setParam(QStringLiteral("account"), account);
            if (insert.execSql() != 1)
                throw VoxError(QStringLiteral("The login of %1 on %2 was not stored.").arg(account, deviceName));
            m_keyAccount = account;
            m_keyUserType = userType;
        } else {
            SqlStatement update(QStringLiteral("login_update"), &connection,
                                QStringLiteral("update dbo.DeviceAccount set DeviceName = :devicename, "
                                               "ReferenceID = :referenceid, %1isEncrypted = :isencrypted, Enabled = 1 "
                                               "where Account = :k_account and DeviceName = :k_device and "
                                               "UserType = :k_usertype")
                                    .arg(writeCode ? QStringLiteral("AccessCode = :accesscode, ") : QString()));
            update.setParam(QStringLiteral("devicename"), deviceName);
            update.setParam(QStringLiteral("referenceid"), deviceId);
            if (writeCode)
                update.setParam(QStringLiteral("accesscode"), accessCode);
            update.setParam(QStringLiteral("isencrypted"), encrypted ? 1 : 0);
            update.setParam(QStringLiteral("k_account"), m_keyAccount);
            update.setParam(QStringLiteral("k_device"), m_keyDevice);
            update.setParam(QStringLiteral("k_usertype"), m_keyUserType);
            if (update.execSql() != 1)
                throw VoxError(QStringLiteral("The login of %1 on %2 no longer exists; search for it again.")
                                   .arg(m_keyAccount, m_keyDevice));
        }
    } catch (...) {
        // Nothing was stored: the operator may correct and save again.
        m_view.setSaveEnabled(true);
        throw;
    }
    // The window now shows the stored record.
    m_mode = Mode::Editing;
    m_keyDevice = deviceName;
    m_lastPassword = password;

    if (!mailer)
        return;
    try {
        m_printer(m_mailer, password, loginNumber);
    } catch (const VoxError &e) {
        throw VoxError(QStringLiteral("The login of %1 on %2 was saved, but its mailer was not printed: %3")
                           .arg(loginNumber, deviceName, e.message()));
    }
}
