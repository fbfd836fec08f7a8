#include "widgets/FieldText.h"

#include <QDateTime>
#include <QLocale>

namespace {
bool isNull(const QVariant &v)
{
    return !v.isValid() || v.isNull();
}

bool parseBool(const QVariant &v, bool &out)
{
    if (v.typeId() == QMetaType::Bool) {
        out = v.toBool();
        return true;
    }
    const QString s = v.toString().trimmed();
    if (s.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0
        || s.compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0) {
        out = true;
        return true;
    }
    if (s.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0
        || s.compare(QLatin1String("no"), Qt::CaseInsensitive) == 0) {
        out = false;
        return true;
    }
    bool ok = false;
    const double d = s.toDouble(&ok);
    if (ok)
        out = d != 0;
    return ok;
}

const QString &dateTimeFormat()
{
    static const QString fmt = QStringLiteral("yyyy-MM-dd hh:mm:ss");
    return fmt;
}
} // namespace

namespace FieldText {

QString format(const FieldDef &def, const QVariant &value)
{
    if (isNull(value))
        return {};
    switch (def.type) {
    case FieldType::Boolean: {
        bool b = false;
        parseBool(value, b);
        return b ? QStringLiteral("True") : QStringLiteral("False");
    }
    case FieldType::Float:
        return QString::number(value.toDouble(), 'g', 15);
    case FieldType::DateTime:
        return value.toDateTime().toString(dateTimeFormat());
    default:
        return value.toString();
    }
}

bool parse(const FieldDef &def, const QString &text, QVariant &value)
{
    if (def.isText()) {
        value = text;
        return true;
    }
    const QString t = text.trimmed();
    if (t.isEmpty()) {
        value = QVariant();
        return def.type != FieldType::RowVersion;
    }
    bool ok = false;
    switch (def.type) {
    case FieldType::Integer:
    case FieldType::SmallInt: {
        const int n = t.toInt(&ok);
        if (ok)
            value = n;
        return ok;
    }
    case FieldType::Float: {
        double d = QLocale::c().toDouble(t, &ok);
        if (!ok)
            d = QLocale().toDouble(t, &ok);
        if (ok)
            value = d;
        return ok;
    }
    case FieldType::Boolean: {
        bool b = false;
        ok = parseBool(t, b);
        if (ok)
            value = b;
        return ok;
    }
    case FieldType::DateTime: {
        for (const QString &fmt : {dateTimeFormat(), QStringLiteral("yyyy-MM-dd hh:mm"),
                                   QStringLiteral("yyyy-MM-dd")}) {
            const QDateTime dt = QDateTime::fromString(t, fmt);
            if (dt.isValid()) {
                value = dt;
                return true;
            }
        }
        const QDateTime iso = QDateTime::fromString(t, Qt::ISODate);
        if (iso.isValid())
            value = iso;
        return iso.isValid();
    }
    default:
        return false;
    }
}

bool sameValue(const QVariant &stored, const QVariant &wanted)
{
    if (isNull(stored) || isNull(wanted))
        return isNull(stored) && isNull(wanted);
    if (stored.typeId() == QMetaType::Bool || wanted.typeId() == QMetaType::Bool) {
        bool a = false, b = false;
        return parseBool(stored, a) && parseBool(wanted, b) && a == b;
    }
    bool okA = false, okB = false;
    const double a = stored.toString().trimmed().toDouble(&okA);
    const double b = wanted.toString().trimmed().toDouble(&okB);
    if (okA && okB)
        return a == b;
    return stored.toString() == wanted.toString();
}

} // namespace FieldText
