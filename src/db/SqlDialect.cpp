#include "db/SqlDialect.h"

namespace {
bool isIdentStart(QChar c)
{
    return c.isLetter() || c == QLatin1Char('_');
}

bool isIdentChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$')
        || c == QLatin1Char('#') || c == QLatin1Char('@');
}

// Copies a quoted run (string literal or quoted name) starting at i.
int skipQuoted(const QString &sql, int i, QString &out)
{
    const QChar quote = sql.at(i);
    const QChar close = quote == QLatin1Char('[') ? QLatin1Char(']') : quote;
    out += sql.at(i++);
    while (i < sql.size()) {
        const QChar c = sql.at(i);
        out += c;
        ++i;
        if (c == close) {
            // A doubled quote continues the literal.
            if (close != QLatin1Char(']') && i < sql.size() && sql.at(i) == close) {
                out += sql.at(i++);
                continue;
            }
            break;
        }
    }
    return i;
}

bool isQuoteStart(QChar c)
{
    return c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('[');
}
} // namespace

QString SqlDialect::identifier(const QString &name, Dialect dialect)
{
    if (dialect != Dialect::SqlServer && name.compare(QLatin1String("Limit"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("\"Limit\"");
    return name;
}

QString SqlDialect::adapt(const QString &sql, Dialect dialect)
{
    if (dialect == Dialect::SqlServer)
        return sql;
    QString out;
    out.reserve(sql.size() + 16);
    int i = 0;
    while (i < sql.size()) {
        const QChar c = sql.at(i);
        if (isQuoteStart(c)) {
            i = skipQuoted(sql, i, out);
            continue;
        }
        if (c == QLatin1Char(':') && i + 1 < sql.size() && isIdentStart(sql.at(i + 1))) {
            // A parameter name is copied as it is.
            int j = i + 1;
            while (j < sql.size() && isIdentChar(sql.at(j)))
                ++j;
            out += sql.mid(i, j - i);
            i = j;
            continue;
        }
        if (isIdentStart(c)) {
            int j = i;
            while (j < sql.size() && isIdentChar(sql.at(j)))
                ++j;
            const QString word = sql.mid(i, j - i);
            if (dialect == Dialect::SQLite && word.compare(QLatin1String("dbo"), Qt::CaseInsensitive) == 0
                && j < sql.size() && sql.at(j) == QLatin1Char('.')) {
                i = j + 1; // drop "dbo."
                continue;
            }
            out += identifier(word, dialect);
            i = j;
            continue;
        }
        out += c;
        ++i;
    }
    return out;
}

ParsedSql SqlDialect::parseParameters(const QString &sql)
{
    ParsedSql parsed;
    QString &out = parsed.sql;
    out.reserve(sql.size());
    int i = 0;
    while (i < sql.size()) {
        const QChar c = sql.at(i);
        if (isQuoteStart(c)) {
            i = skipQuoted(sql, i, out);
            continue;
        }
        if (c == QLatin1Char(':') && i + 1 < sql.size() && sql.at(i + 1) == QLatin1Char(':')) {
            out += QStringLiteral("::");
            i += 2;
            continue;
        }
        if (c == QLatin1Char(':') && i + 1 < sql.size() && isIdentStart(sql.at(i + 1))) {
            int j = i + 1;
            while (j < sql.size() && isIdentChar(sql.at(j)))
                ++j;
            parsed.params << sql.mid(i + 1, j - i - 1);
            out += QLatin1Char('?');
            i = j;
            continue;
        }
        out += c;
        ++i;
    }
    return parsed;
}

Dialect SqlDialect::fromDbmsName(const QString &dbmsName)
{
    if (dbmsName.contains(QLatin1String("PostgreSQL"), Qt::CaseInsensitive))
        return Dialect::PostgreSQL;
    if (dbmsName.contains(QLatin1String("SQLite"), Qt::CaseInsensitive))
        return Dialect::SQLite;
    return Dialect::SqlServer;
}
