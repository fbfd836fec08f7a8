#include "net/RiskOutbox.h"

#include "core/Guard.h"
#include "core/VoxError.h"
#include "net/VoxLog.h"
#include "net/VoxService.h"

#include <QMetaMethod>
#include <QTimer>
#include <algorithm>
#include <exception>
#include <time.h>
#include <utility>

RiskOutbox::RiskOutbox(ReadBack readBack, QObject *parent)
    : QObject(parent)
    , m_readBack(std::move(readBack))
{
    m_timer = new QTimer(this);
    m_timer->setInterval(DefaultCheckInterval);
    vox::connect(m_timer, &QTimer::timeout, this, &RiskOutbox::checkNow);
}

RiskOutbox::~RiskOutbox() = default;

qint64 RiskOutbox::now() const
{
    if (m_clock)
        return m_clock().toMSecsSinceEpoch();
    // The coarse clock is a few milliseconds behind at worst and costs a
    // fraction of the exact one, which would be a good part of a send; the
    // outbox's times only meet delays of seconds.
    timespec ts{};
    ::clock_gettime(CLOCK_REALTIME_COARSE, &ts);
    return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

void RiskOutbox::setCheckInterval(int msec)
{
    m_timer->setInterval(msec > 0 ? msec : DefaultCheckInterval);
}

void RiskOutbox::schedule()
{
    if (isEmpty())
        m_timer->stop();
    else if (!m_timer->isActive())
        m_timer->start();
}

void RiskOutbox::track(voxServiceClient *client)
{
    if (m_passes.contains(client))
        return;
    m_passes.insert(client, {});
    vox::connect(client, &voxServiceClient::messagesPassed, this, [this, client](quint64 upTo) {
        m_passes[client].push_back({upTo, now()});
    });
    vox::connect(client, &QObject::destroyed, this, [this, client] { m_passes.remove(client); });
}

void RiskOutbox::connectNotify(const QMetaMethod &signal)
{
    if (signal == QMetaMethod::fromSignal(&RiskOutbox::outcome))
        m_outcomeWatched = true;
}

void RiskOutbox::report(Outcome kind, const QString &command, const QString &service)
{
    switch (kind) {
    case Outcome::Sent:
        if (voxLogActive())
            voxLogMsg(QStringLiteral("Risk command sent to ") + service + QStringLiteral(": ") + command);
        break;
    case Outcome::Confirmed:
        if (voxLogActive())
            voxLogMsg(QStringLiteral("Risk command confirmed by ") + service + QStringLiteral(": ") + command);
        break;
    case Outcome::Unconfirmed:
        voxLogMsg(QStringLiteral("Risk command not confirmed by ") + service + QStringLiteral(" within ")
                      + QString::number(m_deadline / 1000) + QStringLiteral(" s: ") + command,
                  voxLogKind::Warning);
        break;
    }
    emit outcome(kind, command, service);
}

bool RiskOutbox::SentRun::continuedBy(quint64 serial, qint64 at) const
{
    return serial == firstSerial + quint64(count) && at == sentAt;
}

void RiskOutbox::send(voxServiceClient *client, const QString &command)
{
    const bool sameClient = !m_sentRuns.empty() && m_sentRuns.back().client.data() == client;
    if (!sameClient)
        track(client);
    client->sendMessage(command);
    const quint64 serial = client->lastQueuedSerial();
    const qint64 at = now();
    m_sentCommands.append(command);
    if (!sameClient || !m_sentRuns.back().continuedBy(serial, at)) {
        m_sentRuns.push_back({client, client->serviceName(), serial, at, 0});
        // While anything sent waits to be filed the timer runs: only the
        // round that files it can stop it.
        if (!m_timer->isActive())
            m_timer->start();
    }
    SentRun &run = m_sentRuns.back();
    ++run.count;
    if (m_outcomeWatched || voxLogActive())
        report(Outcome::Sent, command, run.service);
}

void RiskOutbox::absorb()
{
    if (m_sentRuns.empty())
        return;
    const std::vector<SentRun> runs = std::exchange(m_sentRuns, {});
    const QStringList commands = std::exchange(m_sentCommands, {});
    qsizetype next = 0;
    for (const SentRun &run : runs) {
        for (qsizetype i = 0; i < run.count; ++i)
            file(run, commands.at(next++), run.firstSerial + quint64(i));
    }
}

void RiskOutbox::file(const SentRun &run, const QString &command, quint64 serial)
{
    const ParsedRiskCommand parsed = parseRiskCommand(command);
    if (!parsed.valid)
        return; // no row to follow: it went out untracked
    Row row;
    row.id = ++m_lastId;
    row.serial = serial;
    row.command = command;
    row.service = run.service;
    row.set = parsed.set;
    row.value = parsed.value;
    row.client = run.client;
    row.sentAt = run.sentAt;

    auto it = m_rows.find(parsed.key);
    if (it == m_rows.end()) {
        it = m_rows.insert(parsed.key, std::move(row));
    } else {
        // The earlier command is superseded: it shares this one's outcome,
        // unless it already had its own.
        Row &old = *it;
        row.superseded = std::move(old.superseded);
        if (!old.unconfirmed)
            row.superseded << old.command;
        const bool wasListed = old.unconfirmed;
        m_keyOfId.remove(old.id);
        old = std::move(row);
        if (wasListed)
            emit changed();
    }
    m_keyOfId.insert(it->id, parsed.key);
}

void RiskOutbox::resolvePasses()
{
    // A command left when the first pass at or beyond its number was seen.
    QHash<voxServiceClient *, quint64> oldestWaiting;
    for (Row &row : m_rows) {
        if (row.passedAt != NotPassed || !row.client)
            continue;
        voxServiceClient *client = row.client.data();
        const auto passes = m_passes.constFind(client);
        if (passes != m_passes.cend()) {
            const auto hit = std::lower_bound(passes->cbegin(), passes->cend(), row.serial,
                                              [](const Pass &p, quint64 serial) { return p.serial < serial; });
            if (hit != passes->cend()) {
                row.passedAt = hit->at;
                row.checkedSincePass = false;
                continue;
            }
        }
        auto oldest = oldestWaiting.find(client);
        if (oldest == oldestWaiting.end())
            oldestWaiting.insert(client, row.serial);
        else if (row.serial < *oldest)
            *oldest = row.serial;
    }
    // Passes no waiting command can need any more are forgotten.
    for (auto it = m_passes.begin(); it != m_passes.end(); ++it) {
        std::vector<Pass> &passes = *it;
        const auto oldest = oldestWaiting.constFind(it.key());
        if (oldest == oldestWaiting.cend()) {
            passes.clear();
            continue;
        }
        const quint64 from = *oldest;
        passes.erase(passes.begin(), std::lower_bound(passes.begin(), passes.end(), from,
                                                      [](const Pass &p, quint64 serial) { return p.serial < serial; }));
    }
}

bool RiskOutbox::due(const Row &row, qint64 t) const
{
    if (row.passedAt == NotPassed || t - row.passedAt < m_settleDelay)
        return false;
    // An unconfirmed command is read back once more after a late pass.
    return !row.unconfirmed || !row.checkedSincePass;
}

void RiskOutbox::confirm(const RiskRowKey &key)
{
    const Row row = m_rows.take(key);
    m_keyOfId.remove(row.id);
    for (const QString &earlier : row.superseded)
        report(Outcome::Confirmed, earlier, row.service);
    report(Outcome::Confirmed, row.command, row.service);
}

void RiskOutbox::checkNow()
{
    absorb();
    resolvePasses();
    const qint64 t = now();
    bool listChanged = false;

    // Outcomes are reported in sending order.
    std::vector<std::pair<quint64, RiskRowKey>> dueRows;
    for (auto it = m_rows.cbegin(); it != m_rows.cend(); ++it) {
        if (due(*it, t))
            dueRows.emplace_back(it->id, it.key());
    }
    std::sort(dueRows.begin(), dueRows.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    QList<RiskRowKey> keys;
    keys.reserve(qsizetype(dueRows.size()));
    for (const auto &entry : dueRows)
        keys << entry.second;
    if (!keys.isEmpty()) {
        bool read = false;
        QHash<RiskRowKey, QString> present;
        try {
            present = m_readBack(keys);
            read = true;
        } catch (const std::exception &e) {
            // The commands stay; the deadline still applies.
            voxLogMsg(QStringLiteral("Cannot read back risk commands: ") + QString::fromLocal8Bit(e.what()),
                      voxLogKind::Warning);
        }
        if (read) {
            for (const RiskRowKey &key : std::as_const(keys)) {
                Row &row = m_rows[key];
                const auto found = present.constFind(key);
                const bool seen = row.set
                    ? found != present.cend() && withoutTrailingBlanks(*found) == row.value
                    : found == present.cend();
                if (seen) {
                    listChanged = listChanged || row.unconfirmed;
                    confirm(key);
                } else {
                    row.checkedSincePass = true;
                }
            }
        }
    }

    std::vector<std::pair<quint64, RiskRowKey>> expired;
    for (auto it = m_rows.cbegin(); it != m_rows.cend(); ++it) {
        if (!it->unconfirmed && t - it->sentAt >= m_deadline)
            expired.emplace_back(it->id, it.key());
    }
    std::sort(expired.begin(), expired.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    for (const auto &entry : expired) {
        Row &row = m_rows[entry.second];
        row.unconfirmed = true;
        listChanged = true;
        const QStringList earlier = std::exchange(row.superseded, {});
        for (const QString &command : earlier)
            report(Outcome::Unconfirmed, command, row.service);
        report(Outcome::Unconfirmed, row.command, row.service);
    }
    schedule();
    if (listChanged)
        emit changed();
}

QList<RiskOutbox::Entry> RiskOutbox::unconfirmed() const
{
    absorbForReading();
    QList<Entry> list;
    for (const Row &row : m_rows) {
        if (row.unconfirmed)
            list.append({row.id, row.command, row.service, QDateTime::fromMSecsSinceEpoch(row.sentAt, Qt::UTC)});
    }
    std::sort(list.begin(), list.end(), [](const Entry &a, const Entry &b) { return a.id < b.id; });
    return list;
}

qsizetype RiskOutbox::pendingCount(const QString &service) const
{
    absorbForReading();
    return std::count_if(m_rows.cbegin(), m_rows.cend(), [&service](const Row &row) {
        return !row.unconfirmed && (service.isEmpty() || row.service == service);
    });
}

qsizetype RiskOutbox::unconfirmedCount(const QString &service) const
{
    absorbForReading();
    return std::count_if(m_rows.cbegin(), m_rows.cend(), [&service](const Row &row) {
        return row.unconfirmed && (service.isEmpty() || row.service == service);
    });
}

void RiskOutbox::resend(const QList<quint64> &ids)
{
    absorb();
    // Every command is checked before any goes out.
    QList<Row> rows;
    for (quint64 id : ids) {
        const auto key = m_keyOfId.constFind(id);
        if (key == m_keyOfId.cend())
            continue;
        const Row &row = m_rows[*key];
        if (!row.unconfirmed)
            continue;
        if (!row.client)
            throw VoxError(QStringLiteral("Cannot resend the command: service ") + row.service
                           + QStringLiteral(" is no longer connected: ") + row.command);
        rows << row;
    }
    for (const Row &row : std::as_const(rows))
        send(row.client, row.command);
    // Filed now: the list no longer shows them.
    absorb();
    if (!rows.isEmpty())
        emit changed();
}

void RiskOutbox::dismiss(const QList<quint64> &ids)
{
    absorb();
    bool any = false;
    for (quint64 id : ids) {
        const auto key = m_keyOfId.constFind(id);
        if (key == m_keyOfId.cend() || !m_rows[*key].unconfirmed)
            continue;
        const Row row = m_rows.take(*key);
        m_keyOfId.erase(key);
        voxLogMsg(QStringLiteral("Unconfirmed risk command dismissed: ") + row.command);
        any = true;
    }
    schedule();
    if (any)
        emit changed();
}
