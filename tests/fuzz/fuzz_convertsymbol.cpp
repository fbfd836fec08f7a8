// Any text as a symbol code: Convertsymbol either gives the text back or
// the five-digit form of the number it reads as, and converts nothing twice.
#include "FuzzCheck.h"
#include "risk/Convertsymbol.h"

#include <QRegularExpression>

namespace {
// The number a code of one to four characters reads as: blanks, a sign,
// then decimal digits, or "$", "x", "X", "0x", "0X" and hexadecimal digits.
bool readsAsNumber(const QString &text, long &value)
{
    static const QRegularExpression number(QStringLiteral(
        "^ *([+-]?)(?:(?:\\$|[xX]|0[xX])([0-9a-fA-F]+)|([0-9]+))\\z"));
    if (text.isEmpty() || text.size() > 4)
        return false;
    const QRegularExpressionMatch m = number.match(text);
    if (!m.hasMatch())
        return false;
    bool ok = false;
    value = m.captured(2).isEmpty() ? m.captured(3).toLong(&ok, 10) : m.captured(2).toLong(&ok, 16);
    if (m.captured(1) == QLatin1String("-"))
        value = -value;
    return ok;
}

void check(const QString &text)
{
    const QString converted = Convertsymbol(text);
    long value = 0;
    if (!readsAsNumber(text, value)) {
        FUZZ_CHECK(converted == text);
        return;
    }
    static const QRegularExpression fiveDigits(QStringLiteral("^-?[0-9]{5}\\z"));
    FUZZ_CHECK(fiveDigits.match(converted).hasMatch());
    FUZZ_CHECK(converted.toLong() == value);
    FUZZ_CHECK(Convertsymbol(converted) == converted);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    check(QString::fromLatin1(bytes));
    check(QString::fromUtf8(bytes));
    if (size % 2 == 0)
        check(QString(reinterpret_cast<const QChar *>(bytes.constData()), qsizetype(size / 2)));
    return 0;
}
