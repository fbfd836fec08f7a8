#include "shell/RiskConfirmation.h"

#include "config/IniFile.h"
#include "db/RiskRows.h"
#include "net/Services.h"
#include "net/VoxLog.h"

int riskConfirmDeadline(const IniFile &ini)
{
    const QString text = ini.readString(QLatin1String(ConsoleSection), QLatin1String(ConfirmDeadlineKey)).trimmed();
    if (text.isEmpty())
        return RiskOutbox::DefaultDeadline;
    bool ok = false;
    const int seconds = text.toInt(&ok);
    if (!ok || seconds < 1 || seconds > 86400) {
        voxLogMsg(QStringLiteral("Invalid %1 in section %2: %3; %4 s is used")
                      .arg(QLatin1String(ConfirmDeadlineKey), QLatin1String(ConsoleSection), text)
                      .arg(RiskOutbox::DefaultDeadline / 1000),
                  voxLogKind::Warning);
        return RiskOutbox::DefaultDeadline;
    }
    return seconds * 1000;
}

RiskOutbox::ReadBack riskRowReadBack(DbConnection *db)
{
    return [db](const QList<RiskRowKey> &keys) {
        QStringList receivers;
        receivers.reserve(keys.size());
        for (const RiskRowKey &key : keys)
            receivers << key.receiverId;
        QHash<RiskRowKey, QString> present;
        const QList<RiskRow> rows = RiskRowReader(db).rowsOf(receivers);
        present.reserve(rows.size());
        for (const RiskRow &row : rows)
            present.insert({row.attribute, row.target, row.receiverType, row.receiverId}, row.value);
        return present;
    };
}

RiskOutbox *createRiskOutbox(QObject *owner, DbConnection *db, const IniFile &ini)
{
    auto *outbox = new RiskOutbox(riskRowReadBack(db), owner);
    outbox->setObjectName(QStringLiteral("RiskOutbox"));
    outbox->setDeadline(riskConfirmDeadline(ini));
    setRiskOutbox(outbox);
    return outbox;
}
