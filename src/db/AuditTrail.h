#pragma once

#include <QObject>
#include <QString>
#include <QVariant>
#include <QVector>

class DbConnection;

// The audit trail: every change the console writes and every command it
// sends, appended to the table Admin_Audit with the operator's user number,
// the console's host name and the time in UTC. A database without the
// table (an older one) is written as before, without a trail.
class AuditTrail : public QObject
{
    Q_OBJECT
public:
    explicit AuditTrail(DbConnection *connection, QObject *parent = nullptr);

    enum class Change { Insert, Update, Delete };
    struct ColumnChange {
        QString column;
        QVariant oldValue;
        QVariant newValue;
    };

    // The operator logged in; recorded with every entry.
    void setOperator(const QString &userNo) { m_operator = userNo; }
    QString operatorNo() const { return m_operator; }
    // The console's host name; the machine's own unless set.
    void setHostName(const QString &host) { m_host = host; }
    QString hostName() const { return m_host; }

    // Whether the database holds Admin_Audit (asked once per link).
    bool isAvailable();

    // Appends one entry per changed column (one for a change without
    // columns). Password columns are recorded as their digest. Raises the
    // database's message on failure; without the table does nothing.
    void recordChange(Change kind, const QString &table, const QString &key,
                      const QVector<ColumnChange> &changes);
    // Appends the entry of a command: its text, the service it went to and
    // its outcome ("sent", "confirmed", "unconfirmed", ...).
    void recordCommand(const QString &text, const QString &service, const QString &outcome);

    // The text recorded for a column's value: a password column's value as
    // "SHA1:" and its digest, NULL as an empty value, anything else as text.
    static QVariant recordedValue(const QString &table, const QString &column, const QVariant &value);
    static QString kindText(Change kind);

    static const char *const TableName;
    // Said once at login when the database has no trail.
    static const char *const NotAuditedMessage;

private:
    void append(const QVariantMap &values);

    DbConnection *m_conn;
    QString m_operator;
    QString m_host;
    int m_checkedGeneration = -1;
    bool m_available = false;
};
