#include "shell/RiskConfirmation.h"

#include "config/IniFile.h"
#include "core/Guard.h"
#include "db/AuditTrail.h"
#include "db/DbConnection.h"
#include "db/RiskRows.h"
#include "net/Services.h"
#include "net/VoxLog.h"

#include <QPointer>
#include <QTimer>

namespace {
QString outcomeText(RiskOutbox::Outcome outcome)
{
    switch (outcome) {
    case RiskOutbox::Outcome::Sent:
        return QStringLiteral("sent");
    case RiskOutbox::Outcome::Confirmed:
        return QStringLiteral("confirmed");
    case RiskOutbox::Outcome::Unconfirmed:
        return QStringLiteral("unconfirmed");
    }
    return {};
}

// Collects the outcomes of a turn and writes them in one transaction.
class CommandAuditWriter : public QObject
{
public:
    CommandAuditWriter(RiskOutbox *outbox, DbConnection *db)
        : QObject(outbox)
        , m_db(db)
    {
        m_flush.setSingleShot(true);
        m_flush.setInterval(0);
        vox::connect(&m_flush, &QTimer::timeout, this, [this] { flush(); });
        vox::connect(outbox, &RiskOutbox::outcome, this,
                     [this](RiskOutbox::Outcome outcome, const QString &command, const QString &service) {
                         m_pending.append({command, service, outcomeText(outcome)});
                         if (!m_flush.isActive())
                             m_flush.start();
                     });
    }
    // Entries of the last turn are written before the console ends.
    ~CommandAuditWriter() override
    {
        try {
            flush();
        } catch (const std::exception &e) {
            voxLogMsg(QStringLiteral("Audit trail not written: %1").arg(QString::fromLocal8Bit(e.what())),
                      voxLogKind::Error);
        }
    }

private:
    struct Pending {
        QString command;
        QString service;
        QString outcome;
    };

    void flush()
    {
        if (m_pending.isEmpty() || !m_db)
            return;
        // Taken first: a failed write is reported once, never repeated.
        const QList<Pending> pending = std::exchange(m_pending, {});
        AuditTrail *audit = m_db->auditTrail();
        if (!audit || !audit->isAvailable())
            return;
        WriteTransaction transaction(*m_db);
        for (const Pending &p : pending)
            audit->recordCommand(p.command, p.service, p.outcome);
        transaction.commit();
    }

    QPointer<DbConnection> m_db;
    QList<Pending> m_pending;
    QTimer m_flush;
};
} // namespace

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

void auditRiskCommands(RiskOutbox *outbox, DbConnection *db)
{
    if (outbox && db)
        new CommandAuditWriter(outbox, db);
}

RiskOutbox *createRiskOutbox(QObject *owner, DbConnection *db, const IniFile &ini)
{
    auto *outbox = new RiskOutbox(riskRowReadBack(db), owner);
    outbox->setObjectName(QStringLiteral("RiskOutbox"));
    outbox->setDeadline(riskConfirmDeadline(ini));
    setRiskOutbox(outbox);
    auditRiskCommands(outbox, db);
    return outbox;
}
