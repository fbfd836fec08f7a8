#include "logins/LoginManagement.h"

#include "config/VoxIniFile.h"
#include "core/Dialogs.h"
#include "core/VoxError.h"
#include "db/AdminData.h"
#include "db/RowExists.h"
#include "db/RowWrite.h"
#include "db/Schema.h"
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
        if (!rowExists(connection, QStringLiteral("dbo.Customer_File"), QStringLiteral("account"), number)) {
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
        if (!rowExists(connection, QStringLiteral("dbo.User_File"), QStringLiteral("User_no"), number)) {
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
    if (loadLogin(number, m_view.usageText(), userType))
        return;

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

bool LoginManagement::loadLogin(const QString &account, const QString &device, int userType)
{
    const TableDef *table = Schema::table(QStringLiteral("DeviceAccount"));
    QStringList names;
    for (const FieldDef &f : table->columns)
        names << f.name;
    Query login(QStringLiteral("login_lookup"), m_data.Database1);
    login.setCatalogTable(QStringLiteral("dbo.DeviceAccount"));
    login.setFieldDefs(table->columns);
    login.setSql(QStringLiteral("select %1 from deviceaccount where upper(account) = upper(:account) and "
                                "upper(devicename) = upper(:devicename) and usertype = :usertype")
                     .arg(names.join(QStringLiteral(", "))));
    login.setParam(QStringLiteral("account"), account);
    login.setParam(QStringLiteral("devicename"), device);
    login.setParam(QStringLiteral("usertype"), userType);
    login.open();
    if (login.isEmpty()) {
        login.close();
        return false;
    }
    login.first();
    m_read.clear();
    for (const Field *f : login.fields())
        m_read.insert(f->name(), f->value());
    m_keyAccount = login.fieldByName(QStringLiteral("Account"))->asString();
    m_keyDevice = login.fieldByName(QStringLiteral("DeviceName"))->asString();
    m_keyUserType = userType;
    const QString referenceId = login.fieldByName(QStringLiteral("ReferenceID"))->asString();
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
    return true;
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
            for (const QChar c : password) {
                if (c.unicode() > 0xFF)
                    throw VoxError(QString::fromLatin1(PasswordNot8Bit));
            }
        }
        accessCode = digest(password);
    }

    m_view.setSaveEnabled(false);
    DbConnection &connection = *m_data.Database1;
    const QString loginNumber = m_view.loginNumber();
    try {
        const TableDef *table = Schema::table(QStringLiteral("DeviceAccount"));
        const QStringList key = table->key;
        if (m_mode == Mode::Adding) {
            const QString account = loginNumber.toUpper();
            const int userType = position == MCard ? 0 : 1;
            const QVariantMap values{{QStringLiteral("DeviceName"), deviceName},
                                     {QStringLiteral("ReferenceID"), deviceId},
                                     {QStringLiteral("AccessCode"), accessCode},
                                     {QStringLiteral("isEncrypted"), encrypted ? 1 : 0},
                                     {QStringLiteral("Enabled"), 1},
                                     {QStringLiteral("UserType"), userType},
                                     {QStringLiteral("Account"), account}};
            QVector<RowColumn> columns;
            for (const FieldDef &f : table->columns)
                columns.append({f, QVariant(), values.value(f.name)});
            RowWrite::insert(connection, QStringLiteral("dbo.DeviceAccount"), key, columns);
            m_keyAccount = account;
            m_keyUserType = userType;
            m_read = values;
        } else {
            QVariantMap values = m_read;
            values.insert(QStringLiteral("DeviceName"), deviceName);
            values.insert(QStringLiteral("ReferenceID"), deviceId);
            if (writeCode)
                values.insert(QStringLiteral("AccessCode"), accessCode);
            values.insert(QStringLiteral("isEncrypted"), encrypted ? 1 : 0);
            values.insert(QStringLiteral("Enabled"), 1);
            QVector<RowColumn> columns;
            for (const FieldDef &f : table->columns)
                columns.append({f, m_read.value(f.name), values.value(f.name)});
            try {
                RowWrite::update(connection, QStringLiteral("dbo.DeviceAccount"), key, columns);
            } catch (const RecordChangedError &) {
                // Shown as another console left it (or gone, when deleted).
                if (!loadLogin(m_keyAccount, m_keyDevice, m_keyUserType)) {
                    m_mode = Mode::None;
                    clearDetails();
                }
                throw;
            }
            m_read = values;
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
