#pragma once

#include "db/Dataset.h"

#include <QDate>

// The audit trail's entries, newest first, narrowed by the database to an
// operator, a table, a key and a range of days, and read in windows by
// entry number as the grid needs them.
class AuditLog : public Dataset
{
    Q_OBJECT
public:
    struct Criteria {
        QString userNo;  // exact; empty: any operator
        QString table;   // regardless of letter case; empty: any table
        QString key;     // keys starting with this text; empty: any key
        QDate from;      // first day (UTC), null: from the first entry
        QDate to;        // last day (UTC), null: up to the last entry
    };

    AuditLog(const QString &name, DbConnection *connection, QObject *parent = nullptr);

    // Takes effect at the next open (or refresh).
    void setCriteria(const Criteria &criteria) { m_criteria = criteria; }
    const Criteria &criteria() const { return m_criteria; }

    // Writes every entry the criteria select, newest first, to path as
    // comma-separated values with a heading line; the file is replaced
    // whole or not at all. Returns the number of entries written.
    int exportCsv(const QString &path);

    // One value as a CSV field: quoted, with quotes doubled, when it holds
    // a comma, a quote, a line break or outer blanks.
    static QString csvField(const QString &value);
    // An entry's values as they are shown and exported.
    static QString displayText(const QVariant &value);

protected:
    QString selectSql() const override;
    QVariantMap parameterValues() const override;
    QStringList keyFields() const override { return {QStringLiteral("Audit_ID")}; }
    bool keyOrdered() const override { return true; }
    QString windowSql(bool backwards, bool fromKey) const override;
    int countRows() override;

private:
    QString whereSql() const;

    Criteria m_criteria;
};
