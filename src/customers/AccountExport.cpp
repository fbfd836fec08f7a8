#include "customers/AccountExport.h"

#include "core/VoxError.h"
#include "core/WholeWrite.h"
#include "db/BulkRows.h"
#include "db/DbConnection.h"

#include <QDir>
#include <QHash>
#include <QSaveFile>
#include <QSqlQuery>
#include <QSqlRecord>
#include <cmath>
#include <cstdio>
#include <string>
#include <unordered_map>

namespace {
const QByteArray CRLF("\r\n");

QString rtrim(const QVariant &v)
{
    if (v.isNull())
        return {};
    QString s = v.toString();
    int n = s.size();
    while (n > 0 && s.at(n - 1) == QLatin1Char(' '))
        --n;
    s.truncate(n);
    return s;
}

QString nameOf(const QVariant &first, const QVariant &family)
{
    return rtrim(first).trimmed() + QLatin1Char(' ') + rtrim(family).trimmed();
}

bool truth(const QVariant &v)
{
    if (v.typeId() == QMetaType::QString) {
        const QString s = v.toString().trimmed();
        return s == QLatin1String("1") || s.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 ||
               s.compare(QLatin1String("t"), Qt::CaseInsensitive) == 0;
    }
    return v.toInt() != 0;
}

QDateTime dateTimeOf(const QVariant &v)
{
    if (v.isNull())
        return {};
    if (v.typeId() == QMetaType::QString) {
        QString s = v.toString().trimmed();
        s.replace(QLatin1Char(' '), QLatin1Char('T'));
        QDateTime dt = QDateTime::fromString(s, Qt::ISODateWithMs);
        if (!dt.isValid())
            dt = QDateTime::fromString(s, Qt::ISODate);
        return dt;
    }
    return v.toDateTime();
}

class Writer
{
public:
    explicit Writer(QIODevice &out)
        : m_out(out)
    {
    }
    void line(const QString &text) { line(QByteArrayView(text.toLatin1())); }
    void line(QByteArrayView bytes)
    {
        m_buffer.append(bytes);
        m_buffer += CRLF;
        if (m_buffer.size() > 1 << 16)
            flush();
    }
    void flush()
    {
        if (m_buffer.isEmpty())
            return;
        if (!writeWhole(m_out, m_buffer))
            throw VoxError(m_out.errorString());
        m_buffer.clear();
    }

private:
    QIODevice &m_out;
    QByteArray m_buffer;
};

struct Login {
    QString account;
    QString name;
    QString user;
    QString entitlements; // Internet: the ids, each followed by ";"; TWM: the reference id
    QString expire;
    bool enabled = false;
};

QString loginLine(const Login &l)
{
    using AccountExport::field;
    return field(l.account) + QLatin1Char(',') + field(l.name) + QLatin1Char(',') + field(l.user) + QLatin1Char(',') +
           field(l.entitlements) + QLatin1Char(',') + l.expire + QLatin1Char(',') +
           (l.enabled ? QStringLiteral("TRUE") : QStringLiteral("FALSE"));
}

void prepare(DbConnection &c, QSqlQuery &q, const QString &sql, const QVariantMap &params = {})
{
    q.setForwardOnly(true);
    c.prepareNamed(q, sql, params);
}

int loginCount(DbConnection &c, const QString &device)
{
    QSqlQuery q = c.newQuery();
    prepare(c, q, QStringLiteral("select count(*) from deviceaccount where devicename = :devicename"),
            {{QStringLiteral("devicename"), device}});
    c.exec(q);
    return c.fetch(q) ? q.value(0).toInt() : 0;
}

void writeCatalogue(DbConnection &c, Writer &w)
{
    w.line(QString());
    w.line(QStringLiteral("Entitlement description"));
    QSqlQuery q = c.newQuery();
    prepare(c, q, QStringLiteral("select entitlevalue, description from entitlementlist where id < 199"));
    c.exec(q);
    while (c.fetch(q))
        w.line(AccountExport::field(rtrim(q.value(0)) + QLatin1Char(':') + rtrim(q.value(1))));
}

// The joined reading works on the driver's bytes: a value of plain ASCII
// is written as it comes, any other goes through the same text handling
// as the per-row reading.
bool ascii(QByteArrayView v)
{
    for (char ch : v) {
        if (static_cast<unsigned char>(ch) >= 0x80)
            return false;
    }
    return true;
}

QByteArrayView rtrimmed(QByteArrayView v)
{
    qsizetype n = v.size();
    while (n > 0 && v[n - 1] == ' ')
        --n;
    return v.first(n);
}

// The value as written: Latin-1, right blanks dropped.
QByteArray outText(QByteArrayView utf8)
{
    return ascii(utf8) ? rtrimmed(utf8).toByteArray() : rtrim(QString::fromUtf8(utf8)).toLatin1();
}

QByteArrayView trimmedAscii(QByteArrayView v)
{
    auto blank = [](char ch) { return ch == ' ' || (ch >= '\t' && ch <= '\r'); };
    qsizetype from = 0, to = v.size();
    while (from < to && blank(v[from]))
        ++from;
    while (to > from && blank(v[to - 1]))
        --to;
    return v.sliced(from, to - from);
}

void appendField(QByteArray &line, QByteArrayView v)
{
    for (char ch : v) {
        if (ch == ',' || ch == '"' || ch == '\r' || ch == '\n') {
            line += '"';
            for (char q : v) {
                line += q;
                if (q == '"')
                    line += '"';
            }
            line += '"';
            return;
        }
    }
    line.append(v);
}

bool writeJoined(DbConnection &c, bool internet, const QString &device, Writer &w, const std::function<bool()> &step)
{
    using Kind = BulkRows::Kind;
    // Every grant in one plain scan: each account's grants come in the
    // order the per-account query returns them.
    // Standard strings keep short accounts and id lists inside the map's
    // nodes: a fraction of the memory of separately allocated texts.
    std::unordered_map<std::string, std::string> held;
    if (internet) {
        BulkRows grants(c, QStringLiteral("select account, entitlementid from accountentitle"), {},
                        {{Kind::Text, 255}, {Kind::Text, 255}});
        while (grants.next()) {
            const QByteArray account = outText(grants.bytes(0)), id = outText(grants.bytes(1));
            std::string &ids = held[std::string(account.constData(), std::size_t(account.size()))];
            ids.append(id.constData(), std::size_t(id.size()));
            ids += ';';
        }
    }
    // The logins of every device, the other devices' skipped here: the
    // embedded database's driver streams the rows of a statement without
    // parameters, and reads the whole result into memory first otherwise.
    BulkRows logins(c,
                    QStringLiteral("select d.account, d.referenceid, d.expiredate, d.enabled, c.account, c.first_name, "
                                   "c.family_name, c.user_no, d.devicename from deviceaccount d left join customer_file c "
                                   "on c.account = d.account order by d.account"),
                    {},
                    {{Kind::Text, 255}, {Kind::Text, 255}, {Kind::DateTime, 0}, {Kind::Integer, 0}, {Kind::Text, 255},
                     {Kind::Text, 1024}, {Kind::Text, 1024}, {Kind::Text, 255}, {Kind::Text, 255}});
    // Device names compare as the database compares fixed-width text:
    // trailing blanks do not count.
    const QByteArray deviceName = device.toUtf8();
    QByteArray line;
    while (logins.next()) {
        if (rtrimmed(logins.bytes(8)) != QByteArrayView(deviceName))
            continue;
        line.clear();
        const QByteArray account = outText(logins.bytes(0));
        appendField(line, account);
        line += ',';
        if (!logins.isNull(4)) {
            const QByteArrayView first = rtrimmed(logins.bytes(5)), family = rtrimmed(logins.bytes(6));
            if (ascii(first) && ascii(family)) {
                QByteArray name = trimmedAscii(first).toByteArray();
                name += ' ';
                name.append(trimmedAscii(family));
                appendField(line, name);
            } else {
                appendField(line, nameOf(logins.text(5), logins.text(6)).toLatin1());
            }
            line += ',';
            appendField(line, outText(logins.bytes(7)));
        } else {
            line += " ,";
        }
        line += ',';
        if (internet) {
            const auto found = held.find(std::string(account.constData(), std::size_t(account.size())));
            if (found != held.end())
                appendField(line, QByteArrayView(found->second.data(), qsizetype(found->second.size())));
        } else {
            appendField(line, outText(logins.bytes(1)));
        }
        line += ',';
        const QDateTime expire = logins.dateTime(2);
        if (expire.isValid())
            line += AccountExport::expireText(expire).toLatin1();
        line += ',';
        line += logins.integer(3) != 0 ? "TRUE" : "FALSE";
        w.line(QByteArrayView(line));
        if (!step())
            return false;
    }
    return true;
}
} // namespace

QString AccountExport::channelName(Channel channel)
{
    return channel == Channel::Internet ? QStringLiteral("Internet") : QStringLiteral("TWM");
}

QString AccountExport::fileName(Channel channel)
{
    return channelName(channel) + QStringLiteral(".csv");
}

QString AccountExport::expireText(const QDateTime &when)
{
    const qint64 days = QDate(1899, 12, 30).daysTo(when.date());
    const double fraction = when.time().msecsSinceStartOfDay() / 86400000.0;
    // Before the epoch the whole days count backwards and the time of day
    // still adds its fraction away from zero.
    const double value = days >= 0 ? double(days) + fraction : double(days) - fraction;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.14E", std::fabs(value));
    QString text = QString::fromLatin1(buffer); // d.ddddddddddddddE+xx
    const int e = text.indexOf(QLatin1Char('E'));
    const QChar sign = text.at(e + 1);
    const int exponent = text.mid(e + 2).toInt();
    return (value < 0 ? QStringLiteral("-") : QStringLiteral(" ")) + text.left(e) + QLatin1Char('E') + sign +
           QStringLiteral("%1").arg(exponent, 4, 10, QLatin1Char('0'));
}

QString AccountExport::field(const QString &value)
{
    for (QChar c : value) {
        if (c == QLatin1Char(',') || c == QLatin1Char('"') || c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            QString quoted = value;
            quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
            return QLatin1Char('"') + quoted + QLatin1Char('"');
        }
    }
    return value;
}

bool AccountExport::write(DbConnection &c, Channel channel, QIODevice &out, Plan plan, const Progress &progress)
{
    const QString device = channelName(channel);
    const bool internet = channel == Channel::Internet;
    Writer w(out);
    w.line(internet ? QStringLiteral("Account Information for Internet trading")
                    : QStringLiteral("Account Information for TWM"));
    w.line(QStringLiteral("Account,Name,User,Entitlement,Expire Date,Enabled"));

    const int total = progress ? loginCount(c, device) : 0;
    int done = 0;
    auto step = [&] {
        ++done;
        return !progress || (done % 256 != 0 && done != total) || progress(done, total);
    };
    if (progress && !progress(0, total))
        return false;

    if (plan == Plan::PerRow) {
        QSqlQuery logins = c.newQuery();
        prepare(c, logins,
                QStringLiteral("select account, referenceid, expiredate, enabled from deviceaccount "
                               "where devicename = :devicename order by account"),
                {{QStringLiteral("devicename"), device}});
        QSqlQuery owner = c.newQuery();
        prepare(c, owner, QStringLiteral("select first_name, family_name, user_no from customer_file where account = :account"),
                {{QStringLiteral("account"), QString()}});
        QSqlQuery grants = c.newQuery();
        prepare(c, grants, QStringLiteral("select entitlementid from accountentitle where account =  :account"),
                {{QStringLiteral("account"), QString()}});
        c.exec(logins);
        while (c.fetch(logins)) {
            Login l;
            l.account = rtrim(logins.value(0));
            owner.bindValue(0, l.account);
            c.exec(owner);
            if (c.fetch(owner)) {
                l.name = nameOf(owner.value(0), owner.value(1));
                l.user = rtrim(owner.value(2));
            } else {
                l.name = QStringLiteral(" ");
            }
            owner.finish();
            if (internet) {
                grants.bindValue(0, l.account);
                c.exec(grants);
                while (c.fetch(grants))
                    l.entitlements += rtrim(grants.value(0)) + QLatin1Char(';');
                grants.finish();
            } else {
                l.entitlements = rtrim(logins.value(1));
            }
            const QDateTime expire = dateTimeOf(logins.value(2));
            l.expire = expire.isValid() ? expireText(expire) : QString();
            l.enabled = truth(logins.value(3));
            w.line(loginLine(l));
            if (!step())
                return false;
        }
    } else if (!writeJoined(c, internet, device, w, step)) {
        return false;
    }
    writeCatalogue(c, w);
    w.flush();
    return true;
}

bool AccountExport::exportFile(DbConnection &c, Channel channel, const QString &dir, const Progress &progress, Plan plan)
{
    QSaveFile file(QDir(dir).filePath(fileName(channel)));
    // The lines are gathered in blocks here; unbuffered, a full disk's
    // reason reaches the file's error text.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw VoxError(file.errorString());
    if (!write(c, channel, file, plan, progress)) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit())
        throw VoxError(file.errorString());
    return true;
}
