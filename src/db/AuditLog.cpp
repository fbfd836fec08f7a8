#include "db/AuditLog.h"

#include "core/VoxError.h"
#include "db/AuditTrail.h"
#include "core/WholeWrite.h"
#include "db/DbConnection.h"
#include "db/FieldValue.h"
#include "db/Schema.h"

#include <QDateTime>
#include <QSaveFile>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {
QString columnList()
{
    QStringList names;
    for (const FieldDef &f : Schema::table(QLatin1String(AuditTrail::TableName))->columns)
        names << f.name;
    return names.join(QStringLiteral(", "));
}

QString from()
{
    return QStringLiteral("SELECT ") + columnList() + QStringLiteral(" FROM ") + QLatin1String(AuditTrail::TableName);
}

// A LIKE pattern matching texts that start with prefix taken literally.
QString prefixPattern(const QString &prefix)
{
    QString out;
    for (const QChar c : prefix) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('%') || c == QLatin1Char('_'))
            out += QLatin1Char('\\');
        out += c;
    }
    return out + QLatin1Char('%');
}
} // namespace

AuditLog::AuditLog(const QString &name, DbConnection *connection, QObject *parent)
    : Dataset(name, connection, parent)
{
    setReadOnly(true);
    setCatalogTable(QLatin1String(AuditTrail::TableName));
    setFieldDefs(Schema::table(QLatin1String(AuditTrail::TableName))->columns);
}

QString AuditLog::whereSql() const
{
    QStringList terms;
    if (!m_criteria.userNo.trimmed().isEmpty())
        terms << QStringLiteral("User_No = :F_User");
    if (!m_criteria.table.trimmed().isEmpty())
        terms << QStringLiteral("UPPER(Table_Name) = UPPER(:F_Table)");
    if (!m_criteria.key.isEmpty())
        terms << QStringLiteral("Record_Key LIKE :F_Key ESCAPE '\\'");
    if (m_criteria.from.isValid())
        terms << QStringLiteral("Logged_At >= :F_From");
    if (m_criteria.to.isValid())
        terms << QStringLiteral("Logged_At < :F_To");
    return terms.isEmpty() ? QString() : QStringLiteral(" WHERE ") + terms.join(QStringLiteral(" AND "));
}

QVariantMap AuditLog::parameterValues() const
{
    QVariantMap p;
    p.insert(QStringLiteral("F_User"), m_criteria.userNo.trimmed());
    p.insert(QStringLiteral("F_Table"), Schema::bareName(m_criteria.table.trimmed()));
    p.insert(QStringLiteral("F_Key"), prefixPattern(m_criteria.key));
    p.insert(QStringLiteral("F_From"), QDateTime(m_criteria.from, QTime(0, 0)));
    p.insert(QStringLiteral("F_To"), QDateTime(m_criteria.to.addDays(1), QTime(0, 0)));
    return p;
}

QString AuditLog::selectSql() const
{
    return from() + whereSql() + QStringLiteral(" ORDER BY Audit_ID DESC");
}

QString AuditLog::windowSql(bool backwards, bool fromKey) const
{
    // The rows come newest first: "after" a key is a lower entry number.
    QString where = whereSql();
    if (fromKey) {
        where += where.isEmpty() ? QStringLiteral(" WHERE ") : QStringLiteral(" AND ");
        where += backwards ? QStringLiteral("Audit_ID > :W_Audit_ID") : QStringLiteral("Audit_ID <= :W_Audit_ID");
    }
    return from() + where + (backwards ? QStringLiteral(" ORDER BY Audit_ID") : QStringLiteral(" ORDER BY Audit_ID DESC"));
}

int AuditLog::countRows()
{
    QSqlQuery q = connection()->newQuery();
    connection()->prepareNamed(q, QStringLiteral("SELECT COUNT(*) FROM ") + QLatin1String(AuditTrail::TableName)
                                      + whereSql(),
                               parameterValues());
    connection()->exec(q);
    return connection()->fetch(q) ? q.value(0).toInt() : -1;
}

QString AuditLog::csvField(const QString &value)
{
    const bool quote = value.contains(QLatin1Char(',')) || value.contains(QLatin1Char('"'))
        || value.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r'))
        || value.trimmed().size() != value.size();
    if (!quote)
        return value;
    QString escaped = value;
    escaped.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

QString AuditLog::displayText(const QVariant &value)
{
    if (FieldValue::isNull(value))
        return {};
    if (value.typeId() == QMetaType::QDateTime)
        return value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return value.toString();
}

int AuditLog::exportCsv(const QString &path)
{
    const FieldDefs &defs = fieldDefs();
    QSaveFile file(path);
    // Lines are gathered in blocks here; unbuffered, a full disk's reason
    // reaches the file's error text.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text | QIODevice::Unbuffered))
        throw VoxError(QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
    QByteArray block;
    auto flush = [&] {
        if (!writeWhole(file, block))
            throw VoxError(QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
        block.clear();
    };
    auto writeLine = [&](const QStringList &fields) {
        block += fields.join(QLatin1Char(',')).toUtf8() + '\n';
        if (block.size() >= 64 * 1024)
            flush();
    };
    QStringList heading;
    for (const FieldDef &d : defs)
        heading << csvField(d.label());
    writeLine(heading);

    // Its own reading, from the first entry to the last: the grid's window
    // stays where it is.
    QSqlQuery q = connection()->newQuery();
    q.setForwardOnly(true);
    connection()->prepareNamed(q, selectSql(), parameterValues());
    connection()->exec(q);
    int written = 0;
    while (connection()->fetch(q)) {
        QStringList fields;
        for (int i = 0; i < defs.size(); ++i) {
            QVariant v = q.value(i);
            if (defs.at(i).type == FieldType::DateTime && !FieldValue::isNull(v))
                v = v.toDateTime();
            fields << csvField(displayText(v));
        }
        writeLine(fields);
        ++written;
    }
    flush();
    if (!file.commit())
        throw VoxError(QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
    return written;
}
