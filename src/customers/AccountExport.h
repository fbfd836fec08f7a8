#pragma once

#include <QDateTime>
#include <QString>
#include <functional>

class DbConnection;
class QIODevice;

// The account information export: every device login of one channel with
// its owner, entitlements, expiry and state, then the entitlement codes.
namespace AccountExport {

enum class Channel { Internet, TWM };

// "Internet" or "TWM".
QString channelName(Channel channel);
// The channel name followed by ".csv".
QString fileName(Channel channel);

// A date-time as days since 30 December 1899 in the 23-character
// scientific form: " 3.76210000000000E+0004" for 31 December 2002.
QString expireText(const QDateTime &when);
// A value as written: unchanged, or in double quotes with inner quotes
// doubled when it holds a comma, a double quote or a line break.
QString field(const QString &value);

// How the rows are read: two small queries per login, or one joined read
// of the logins with their owners and one of the entitlements. Both write
// the same bytes.
enum class Plan { PerRow, Joined };

// Told how many logins are written out of how many; returns false to stop.
using Progress = std::function<bool(int done, int total)>;

// Writes the export to out; returns false when progress stopped it.
// Raises with the database's or the device's message.
bool write(DbConnection &connection, Channel channel, QIODevice &out, Plan plan = Plan::Joined,
           const Progress &progress = {});

// Writes fileName(channel) in dir. The file is replaced only once every
// line is written: a failed or stopped export leaves what was there.
// Returns false when stopped.
bool exportFile(DbConnection &connection, Channel channel, const QString &dir, const Progress &progress = {},
                Plan plan = Plan::Joined);

} // namespace AccountExport
