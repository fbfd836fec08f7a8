#include "net/RiskCommand.h"

#include "core/VoxError.h"

#include <QHashFunctions>
#include <QStringList>

namespace {
void checkField(const QString &name, const QString &value, int width = -1)
{
    for (QChar c : value) {
        if (c == QLatin1Char('|') || c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            throw VoxError(QStringLiteral("The ") + name
                           + QStringLiteral(" of a risk command must not contain \"|\" or a line end: ")
                           + QString(value).replace(QLatin1Char('\r'), QLatin1Char(' '))
                                 .replace(QLatin1Char('\n'), QLatin1Char(' ')));
        // Commands are 8-bit text: a character that has no byte would reach
        // the risk manager as "?", naming another receiver.
        if (c.unicode() > 0xFF || c.unicode() < 0x20 || c.unicode() == 0x7F)
            throw VoxError(QStringLiteral("The ") + name
                           + QStringLiteral(" of a risk command holds a character that cannot be sent: ")
                           + value);
    }
    if (width >= 0 && value.size() > width)
        throw VoxError(QStringLiteral("The %1 of a risk command may be at most %2 characters long: %3")
                           .arg(name).arg(width).arg(value));
}
} // namespace

QString riskCommand(const QString &verb, const QString &attribute, const QString &value,
                    const QString &target, const QString &receiverType,
                    const QString &receiverId)
{
    checkField(QStringLiteral("verb"), verb);
    checkField(QStringLiteral("attribute"), attribute, voxRisk::AttributeWidth);
    checkField(QStringLiteral("value"), value, voxRisk::ValueWidth);
    checkField(QStringLiteral("target system"), target, voxRisk::TargetWidth);
    checkField(QStringLiteral("receiver type"), receiverType, voxRisk::ReceiverTypeWidth);
    checkField(QStringLiteral("receiver id"), receiverId, voxRisk::ReceiverIdWidth);
    const QChar bar = QLatin1Char('|');
    return verb + bar + attribute + bar + value + bar + target + bar + receiverType + bar
        + receiverId + bar;
}

QString riskSetCommand(const QString &attribute, const QString &value, const QString &target,
                       const QString &receiverType, const QString &receiverId)
{
    return riskCommand(QLatin1String(voxRisk::Set), attribute, value, target, receiverType,
                       receiverId);
}

QString riskUnsetCommand(const QString &attribute, const QString &target,
                         const QString &receiverType, const QString &receiverId)
{
    return riskCommand(QLatin1String(voxRisk::Unset), attribute, QString(), target,
                       receiverType, receiverId);
}

QString riskFlagCommand(bool on, const QString &attribute, const QString &target,
                        const QString &receiverType, const QString &receiverId)
{
    return on ? riskSetCommand(attribute, QString(), target, receiverType, receiverId)
              : riskUnsetCommand(attribute, target, receiverType, receiverId);
}

size_t qHash(const RiskRowKey &key, size_t seed) noexcept
{
    return qHashMulti(seed, key.attribute, key.target, key.receiverType, key.receiverId);
}

QString withoutTrailingBlanks(const QString &text)
{
    qsizetype n = text.size();
    while (n > 0 && text.at(n - 1) == QLatin1Char(' '))
        --n;
    return n == text.size() ? text : text.left(n);
}

ParsedRiskCommand parseRiskCommand(const QString &command)
{
    ParsedRiskCommand parsed;
    const QStringList parts = command.split(QLatin1Char('|'));
    if (parts.size() != 7 || !parts.last().isEmpty())
        return parsed;
    const QString &verb = parts.at(0);
    if (verb != QLatin1String(voxRisk::Set) && verb != QLatin1String(voxRisk::Unset))
        return parsed;
    parsed.valid = true;
    parsed.set = verb == QLatin1String(voxRisk::Set);
    parsed.key = {withoutTrailingBlanks(parts.at(1)), withoutTrailingBlanks(parts.at(3)),
                  withoutTrailingBlanks(parts.at(4)), withoutTrailingBlanks(parts.at(5))};
    parsed.value = withoutTrailingBlanks(parts.at(2));
    return parsed;
}
