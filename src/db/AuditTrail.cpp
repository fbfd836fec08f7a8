#include "db/AuditTrail.h"

#include "db/DbConnection.h"
#include "db/FieldValue.h"
#include "db/Schema.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QSqlQuery>
#include <QSysInfo>

const char *const AuditTrail::TableName = "dbo.Admin_Audit";
const char *const AuditTrail::NotAuditedMessage =
    "This database has no audit trail (table Admin_Audit): changes made in this session are not audited.";

namespace {
// Columns that hold a password or access code: never recorded in plain text.
bool isSecret(const QString &table, const QString &column)
{
    static const char *const secrets[][2] = {
        {"User_File", "User_Password"},
        {"User_File", "PasswordHash"},
        {"customer_file", "password"},
        {"DeviceAccount", "AccessCode"},
    };
    const QString bare = Schema::bareName(table);
    for (const auto &s : secrets) {
        if (bare.compare(QLatin1String(s[0]), Qt::CaseInsensitive) == 0
            && column.compare(QLatin1String(s[1]), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QVariant nullText()
{
    return QVariant(QMetaType(QMetaType::QString));
}
} // namespace

AuditTrail::AuditTrail(DbConnection *connection, QObject *parent)
    : QObject(parent)
    , m_conn(connection)
    , m_host(QSysInfo::machineHostName())
{
    setObjectName(QStringLiteral("AuditTrail"));
}

bool AuditTrail::isAvailable()
{
    m_conn->ensureOpen();
    if (m_checkedGeneration != m_conn->generation()) {
        // A failed look is an absent table; the statement touches no row.
        QSqlQuery q = m_conn->newQuery();
        m_available = q.prepare(SqlDialect::adapt(
                          QStringLiteral("SELECT Audit_ID FROM %1 WHERE 1 = 0").arg(QLatin1String(TableName)),
                          m_conn->dialect()))
            && q.exec();
        m_checkedGeneration = m_conn->generation();
    }
    return m_available;
}

QString AuditTrail::kindText(Change kind)
{
    switch (kind) {
    case Change::Insert:
        return QStringLiteral("INSERT");
    case Change::Update:
        return QStringLiteral("UPDATE");
    case Change::Delete:
        return QStringLiteral("DELETE");
    }
    return {};
}

QVariant AuditTrail::recordedValue(const QString &table, const QString &column, const QVariant &value)
{
    if (FieldValue::isNull(value))
        return nullText();
    QString text = value.typeId() == QMetaType::QDateTime ? value.toDateTime().toString(Qt::ISODate) : value.toString();
    if (isSecret(table, column)) {
        // The digest of the 8-bit text, as passwords are digested elsewhere.
        text = FieldValue::trimRight(text);
        return QStringLiteral("SHA1:")
            + QString::fromLatin1(QCryptographicHash::hash(text.toLatin1(), QCryptographicHash::Sha1).toHex().toUpper());
    }
    return text;
}

void AuditTrail::append(const QVariantMap &values)
{
    QVariantMap params = values;
    params.insert(QStringLiteral("Logged_At"), QDateTime::currentDateTimeUtc());
    params.insert(QStringLiteral("User_No"), m_operator.isEmpty() ? nullText() : QVariant(m_operator));
    params.insert(QStringLiteral("Host_Name"), m_host.left(64));
    QSqlQuery q = m_conn->newQuery();
    m_conn->prepareNamed(q,
                         QStringLiteral("INSERT INTO %1 (Logged_At, User_No, Host_Name, Change_Kind, Table_Name, "
                                        "Record_Key, Column_Name, Old_Value, New_Value, Service, Outcome) VALUES "
                                        "(:Logged_At, :User_No, :Host_Name, :Change_Kind, :Table_Name, :Record_Key, "
                                        ":Column_Name, :Old_Value, :New_Value, :Service, :Outcome)")
                             .arg(QLatin1String(TableName)),
                         params);
    m_conn->exec(q);
}

void AuditTrail::recordChange(Change kind, const QString &table, const QString &key,
                              const QVector<ColumnChange> &changes)
{
    if (!isAvailable())
        return;
    const QString bare = Schema::bareName(table);
    QVariantMap base{{QStringLiteral("Change_Kind"), kindText(kind)},
                     {QStringLiteral("Table_Name"), bare.left(40)},
                     {QStringLiteral("Record_Key"), key.left(100)}};
    if (changes.isEmpty()) {
        append(base);
        return;
    }
    for (const ColumnChange &c : changes) {
        QVariantMap row = base;
        row.insert(QStringLiteral("Column_Name"), c.column.left(40));
        row.insert(QStringLiteral("Old_Value"), recordedValue(bare, c.column, c.oldValue));
        row.insert(QStringLiteral("New_Value"), recordedValue(bare, c.column, c.newValue));
        append(row);
    }
}

void AuditTrail::recordCommand(const QString &text, const QString &service, const QString &outcome)
{
    if (!isAvailable())
        return;
    append({{QStringLiteral("Change_Kind"), QStringLiteral("COMMAND")},
            {QStringLiteral("New_Value"), text},
            {QStringLiteral("Service"), service.left(20)},
            {QStringLiteral("Outcome"), outcome.left(20)}});
}
