#pragma once

#include <QByteArray>
#include <QSqlDatabase>
#include <QString>

// Applies risk-parameter command lines to the rule table riskman_file:
//   set|ATTR|VALUE|TARGET|RTYPE|RID|    replaces the row of that attribute,
//                                       target system and receiver
//   unset|ATTR||TARGET|RTYPE|RID|       removes it
//   PING|                               keepalive, answered in kind
// Each command runs in a transaction of its own. A line holding a NUL byte
// is refused whole.
class RiskStore
{
public:
    struct Result {
        enum Kind { Applied, Ping, Error };
        Kind kind = Error;
        QString text; // the reason of an error
    };

    explicit RiskStore(const QSqlDatabase &db);

    Result apply(const QByteArray &line);

    // Widths of the table's columns; longer fields are refused.
    static constexpr int TargetWidth = 15;
    static constexpr int ReceiverTypeWidth = 10;
    static constexpr int ReceiverIdWidth = 15;
    static constexpr int AttributeWidth = 25;
    static constexpr int ValueWidth = 10;

private:
    Result error(const QString &text) const { return {Result::Error, text}; }

    QSqlDatabase m_db;
};
