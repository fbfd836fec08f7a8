#pragma once

#include "net/RiskCommand.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <vector>
#include <functional>

class QTimer;
class voxServiceClient;

// Keeps every risk command the console sends until its effect is seen in
// riskman_file, which the risk manager keeps in step with the commands:
// a "set" row present with its value, an "unset" row absent. The wire
// carries no acknowledgement, so the outbox reads the rows back itself, a
// settle delay after the link has passed the command on, in check rounds
// that read every row due in one batch. A command whose effect is not seen
// within the deadline after it was sent becomes unconfirmed: it is listed
// for the operator to resend or dismiss. An unconfirmed command the link
// passes on only later is read back once more.
//
// Only the last command sent for a row counts: a new command for the same
// row supersedes the one before, and the row is confirmed against the new
// one (a set followed by an unset confirms by absence).
class RiskOutbox : public QObject
{
    Q_OBJECT
public:
    static constexpr int DefaultDeadline = 60000;
    static constexpr int DefaultSettleDelay = 3000;
    static constexpr int DefaultCheckInterval = 1000;

    enum class Outcome { Sent, Confirmed, Unconfirmed };
    Q_ENUM(Outcome)

    // The current values of those of keys that have a row; raises (a
    // VoxError with the database's message) when the rows cannot be read.
    using ReadBack = std::function<QHash<RiskRowKey, QString>(const QList<RiskRowKey> &keys)>;
    using Clock = std::function<QDateTime()>;

    // One command listed as unconfirmed.
    struct Entry {
        quint64 id = 0;
        QString command;
        QString service;
        QDateTime sentAt; // UTC
    };

    explicit RiskOutbox(ReadBack readBack, QObject *parent = nullptr);
    ~RiskOutbox() override;

    // Sends command through client and keeps it until confirmed. A text
    // that is no set or unset command is sent untracked.
    void send(voxServiceClient *client, const QString &command);

    // One check round: reads back the rows due, confirms what matches, then
    // marks what is past its deadline unconfirmed. The timer runs it every
    // check interval while commands wait.
    void checkNow();

    // Unconfirmed commands, oldest first.
    QList<Entry> unconfirmed() const;
    // Commands still waiting for their confirmation (not yet unconfirmed);
    // of one service when service is given.
    qsizetype pendingCount(const QString &service = {}) const;
    qsizetype unconfirmedCount(const QString &service = {}) const;
    bool isEmpty() const { return m_sentRuns.empty() && m_rows.isEmpty(); }

    // Sends the listed commands of ids again (a command replaces or deletes
    // its row, so a second copy is harmless); they wait for confirmation
    // anew. Raises VoxError when a command's service client is gone.
    void resend(const QList<quint64> &ids);
    // Forgets the listed commands of ids.
    void dismiss(const QList<quint64> &ids);

    int deadline() const { return m_deadline; }
    void setDeadline(int msec) { m_deadline = msec > 0 ? msec : DefaultDeadline; }
    int settleDelay() const { return m_settleDelay; }
    void setSettleDelay(int msec) { m_settleDelay = msec >= 0 ? msec : 0; }
    void setCheckInterval(int msec);
    void setClock(Clock clock) { m_clock = std::move(clock); }

signals:
    // Each command's send, its confirmation, or its expiry. A command
    // superseded by a later one for its row shares that one's outcome.
    void outcome(RiskOutbox::Outcome outcome, const QString &command, const QString &service);
    // The lists or counts changed.
    void changed();

protected:
    void connectNotify(const QMetaMethod &signal) override;

private:
    static constexpr qint64 NotPassed = -1;

    struct Row {
        quint64 id = 0;
        quint64 serial = 0; // the client's running number of the message
        QString command;
        QString service;
        bool set = false;
        QString value;
        QPointer<voxServiceClient> client;
        qint64 sentAt = 0;             // ms since the epoch (UTC)
        qint64 passedAt = NotPassed;   // while the command waits in the client's queue
        bool unconfirmed = false;
        bool checkedSincePass = false;
        QStringList superseded; // earlier commands for the row still without outcome
    };
    // Commands as sent are taken apart and filed at the next round, so that
    // sending stays as cheap as the link itself. A run is a stretch of
    // commands that one client numbered one after another within one
    // millisecond; its commands are the next count texts of m_sentCommands.
    // A burst thus costs one stored text per command and a handful of runs.
    struct SentRun {
        QPointer<voxServiceClient> client;
        QString service;
        quint64 firstSerial;
        qint64 sentAt;
        qsizetype count;
        // Whether the same client's message numbered serial, sent at at,
        // extends this run.
        bool continuedBy(quint64 serial, qint64 at) const;
    };
    // When the socket took a client's messages up to serial.
    struct Pass {
        quint64 serial;
        qint64 at;
    };

    qint64 now() const;
    void track(voxServiceClient *client);
    // Files what was sent since the last call; the const readers call it
    // too (filing changes nothing they report).
    void absorb();
    void absorbForReading() const { const_cast<RiskOutbox *>(this)->absorb(); }
    void file(const SentRun &run, const QString &command, quint64 serial);
    void resolvePasses();
    void report(Outcome kind, const QString &command, const QString &service);
    bool due(const Row &row, qint64 now) const;
    void confirm(const RiskRowKey &key);
    void schedule();

    ReadBack m_readBack;
    Clock m_clock;
    int m_deadline = DefaultDeadline;
    int m_settleDelay = DefaultSettleDelay;
    QTimer *m_timer = nullptr;
    // Whether anything ever listened to outcome: a send with no listener
    // and no log reports nothing.
    bool m_outcomeWatched = false;
    quint64 m_lastId = 0;
    std::vector<SentRun> m_sentRuns;
    QStringList m_sentCommands;
    QHash<RiskRowKey, Row> m_rows;
    QHash<quint64, RiskRowKey> m_keyOfId;
    QHash<voxServiceClient *, std::vector<Pass>> m_passes;
};
