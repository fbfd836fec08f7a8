#include "logins/LoginManagement.h"

#include <QRandomGenerator>

quint32 LoginRandom::below(quint32 bound)
{
    Q_ASSERT(bound > 0);
    // Rejecting the top partial block of the 32-bit range leaves every
    // remainder equally likely.
    const quint64 range = quint64(1) << 32;
    const quint64 limit = range - range % bound;
    for (;;) {
        const quint32 x = QRandomGenerator::system()->generate();
        if (x < limit)
            return x % bound;
    }
}

QChar LoginRandom::alphabetChar(quint32 r)
{
    if (r < 26)
        return QChar(char16_t(65 + r));
    if (r < 52)
        return QChar(char16_t(71 + r));
    return QChar(char16_t(r - 4));
}

QChar LoginRandom::randalphanum()
{
    return alphabetChar(below(62));
}

QString LoginRandom::password(int length)
{
    QString out;
    for (int i = 0; i < length; ++i)
        out += randalphanum();
    return out;
}

QString LoginRandom::twmCode()
{
    return QString::number(below(999999));
}

QString LoginRandom::referenceId()
{
    const quint32 first = below(1410065407);
    const quint32 second = below(99999);
    return QString::number(first) + QString::number(second);
}

QStringList splitCommaText(const QString &text)
{
    QStringList out;
    const int n = text.size();
    auto blank = [&](int i) { return i < n && text.at(i).unicode() >= 1 && text.at(i).unicode() <= ' '; };
    int i = 0;
    while (blank(i))
        ++i;
    while (i < n) {
        QString entry;
        if (text.at(i) == QLatin1Char('"')) {
            ++i;
            while (i < n) {
                if (text.at(i) == QLatin1Char('"')) {
                    if (i + 1 < n && text.at(i + 1) == QLatin1Char('"')) {
                        entry += QLatin1Char('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                entry += text.at(i++);
            }
        } else {
            const int start = i;
            while (i < n && text.at(i).unicode() > ' ' && text.at(i) != QLatin1Char(','))
                ++i;
            entry = text.mid(start, i - start);
        }
        out << entry;
        while (blank(i))
            ++i;
        if (i < n && text.at(i) == QLatin1Char(',')) {
            if (i + 1 == n)
                out << QString();
            do
                ++i;
            while (blank(i));
        }
    }
    return out;
}
