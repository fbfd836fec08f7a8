#include "widgets/TextCase.h"

namespace {
template <typename Convert>
QString converted(const QString &text, Convert convert)
{
    QString out = text;
    for (QChar &c : out) {
        const QChar other = convert(c);
        if (other.unicode() <= 0xFF || c.unicode() > 0xFF)
            c = other;
    }
    return out;
}
} // namespace

QString upperCase8Bit(const QString &text)
{
    return converted(text, [](QChar c) { return c.toUpper(); });
}

QString lowerCase8Bit(const QString &text)
{
    return converted(text, [](QChar c) { return c.toLower(); });
}
