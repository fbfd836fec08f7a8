#pragma once

#include <QString>
#include <QVariant>

// Small value rules shared by the dataset engine's parts.
namespace FieldValue {

// A missing value or SQL NULL.
inline bool isNull(const QVariant &v)
{
    return !v.isValid() || v.isNull();
}

// Fixed-width texts are read and compared without their trailing blanks.
inline QString trimRight(const QString &s)
{
    int n = s.size();
    while (n > 0 && s.at(n - 1) == QLatin1Char(' '))
        --n;
    return n == s.size() ? s : s.left(n);
}

// A bit column some drivers return as text ("1", "true").
inline bool textIsTrue(const QString &text)
{
    const QString s = text.trimmed();
    return s == QLatin1String("1") || s.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

} // namespace FieldValue
