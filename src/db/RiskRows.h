#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class DbConnection;

// One row of riskman_file, the risk manager's rule table, with the blanks
// of its fixed-width columns removed.
struct RiskRow {
    QString target;
    QString receiverType;
    QString receiverId;
    QString attribute;
    QString value;
};

// Reads the current rows of riskman_file for many receivers at once: one
// parameterised statement per batch of receiver ids, on the table's
// receiver index.
class RiskRowReader
{
public:
    // Receiver ids per statement: well below the parameter limits of the
    // engines (SQL Server takes at most 2100).
    static constexpr int BatchSize = 500;

    explicit RiskRowReader(DbConnection *db);

    // Every row whose receiver id is one of receiverIds (each asked once).
    // Raises VoxError with the database's message when a read fails.
    QList<RiskRow> rowsOf(const QStringList &receiverIds) const;

private:
    DbConnection *m_db;
};
