#pragma once

#include "DemoDatabase.h"

namespace DemoDb {

// Fills the empty tables with a small brokerage: supervisors and
// operators, dealers in groups, customer accounts with addresses, channel
// logins, entitlements, listed securities and risk rules. Every row goes in
// through a parameterised insert. Raises on the first refused row.
void insertDemoData(QSqlDatabase &db, Engine engine);

// SHA-1 digest of the 8-bit text as 40 upper-case hexadecimal digits, the
// form in which passwords and channel access codes are stored.
QString sha1Hex(const QString &text);

} // namespace DemoDb
