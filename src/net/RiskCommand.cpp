#include "net/RiskCommand.h"

#include "core/VoxError.h"

namespace {
void checkField(const QString &name, const QString &value)
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
}
} // namespace

QString riskCommand(const QString &verb, const QString &attribute, const QString &value,
                    const QString &target, const QString &receiverType,
                    const QString &receiverId)
{
    checkField(QStringLiteral("verb"), verb);
    checkField(QStringLiteral("attribute"), attribute);
    checkField(QStringLiteral("value"), value);
    checkField(QStringLiteral("target system"), target);
    checkField(QStringLiteral("receiver type"), receiverType);
    checkField(QStringLiteral("receiver id"), receiverId);
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
