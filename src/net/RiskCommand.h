#pragma once

#include <QString>

// Risk-parameter commands: six fields, each followed by "|", asking the
// risk manager to set or unset one row of riskman_file.
namespace voxRisk {
inline constexpr const char *Set = "set";
inline constexpr const char *Unset = "unset";

// Attributes.
inline constexpr const char *UpFrontRatio = "UPFR";
inline constexpr const char *ShortSell = "SSELL";
inline constexpr const char *MarketRatio = "MKTRATIO";
inline constexpr const char *SellOnly = "SELL";
inline constexpr const char *Suspend = "SUSPEND";
inline constexpr const char *DayTrade = "DAYTRADE";
inline constexpr const char *SkipShortSell = "SKIPSSELL";

// Target systems.
inline constexpr const char *OrderServer = "ORD";
inline constexpr const char *Internet = "ITS";
inline constexpr const char *Twm = "TWMADMIN";

// Receiver types; "ALL" is also the receiver id of market-wide commands.
inline constexpr const char *Security = "0";
inline constexpr const char *Account = "10";
inline constexpr const char *User = "13";
inline constexpr const char *All = "ALL";

// Widths of the columns of riskman_file the fields are stored in: the risk
// manager cannot keep a longer field.
inline constexpr int AttributeWidth = 25;
inline constexpr int ValueWidth = 10;
inline constexpr int TargetWidth = 15;
inline constexpr int ReceiverTypeWidth = 10;
inline constexpr int ReceiverIdWidth = 15;
} // namespace voxRisk

// verb|attribute|value|target|receiverType|receiverId| — fields copied as
// they are (no trimming, no padding). Raises VoxError, and builds nothing,
// when a field holds "|", CR or LF, which would change the command, or is
// wider than its column of riskman_file.
QString riskCommand(const QString &verb, const QString &attribute, const QString &value,
                    const QString &target, const QString &receiverType,
                    const QString &receiverId);

// "set" of a valued attribute, or of a flag with an empty value.
QString riskSetCommand(const QString &attribute, const QString &value, const QString &target,
                       const QString &receiverType, const QString &receiverId);
// "unset": the value field is always empty.
QString riskUnsetCommand(const QString &attribute, const QString &target,
                         const QString &receiverType, const QString &receiverId);
// A flag: "set" when on, "unset" when off.
QString riskFlagCommand(bool on, const QString &attribute, const QString &target,
                        const QString &receiverType, const QString &receiverId);

// The row of riskman_file a command names. Fields are kept without the
// trailing blanks fixed-width columns add.
struct RiskRowKey {
    QString attribute;
    QString target;
    QString receiverType;
    QString receiverId;

    bool operator==(const RiskRowKey &other) const = default;
};
size_t qHash(const RiskRowKey &key, size_t seed = 0) noexcept;

// A command taken apart: what it asks of which row.
struct ParsedRiskCommand {
    bool valid = false; // a set or unset with six fields
    bool set = false;   // set: the row present with value; unset: absent
    RiskRowKey key;
    QString value;
};
ParsedRiskCommand parseRiskCommand(const QString &command);

// Text without the blanks a fixed-width column pads it with.
QString withoutTrailingBlanks(const QString &text);
