#pragma once

#include "net/RiskOutbox.h"

class DbConnection;
class IniFile;
class QObject;

// How the console confirms its risk commands: the outbox reads the rows
// back from riskman_file through the console's database connection.

// Section and key of vox.ini that hold the confirmation deadline in
// seconds (default 60). They belong to the console; no other program of
// the suite reads them.
inline constexpr const char *ConsoleSection = "VOX_ADMIN";
inline constexpr const char *ConfirmDeadlineKey = "RiskConfirmSeconds";

// The deadline in milliseconds from the configuration: the default when
// the key is missing, and (logged) when it holds no whole number of
// seconds from 1 to 86400.
int riskConfirmDeadline(const IniFile &ini);

// Reads back the rows of keys from riskman_file on db, in batches.
RiskOutbox::ReadBack riskRowReadBack(DbConnection *db);

// Records every command's send and its outcome in the audit trail of db,
// when the database keeps one. The entries of one event-loop turn are
// written together, so a burst of commands costs one commit.
void auditRiskCommands(RiskOutbox *outbox, DbConnection *db);

// Creates the console's outbox, owned by owner, and installs it; its
// commands are recorded in the audit trail.
RiskOutbox *createRiskOutbox(QObject *owner, DbConnection *db, const IniFile &ini);
