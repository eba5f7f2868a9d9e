#pragma once

#include "sync/FleetFile.h"
#include "sync/SyncOptions.h"
#include "sync/TerminalResult.h"

class TerminalClient;
struct TerminalFacts;
struct TerminalIdentity;
class PunchSpool;
class PunchStore;

// The sync of one terminal over a link whose line is open:
//   identify -> the records after the last serial stored for its identity, into the spool ->
//   ONE transaction with them and the new last serial -> commit -> only then, with
//   clear-after-sync, delete on the terminal the records up to the stored serial.
// A failure anywhere stops this terminal only; nothing is deleted that is not stored. In a dry run
// the store is only read (it may be null: no database yet) and the terminal is not changed.
TerminalResult syncTerminal(TerminalClient &client, const FleetTerminal &terminal, PunchStore *store, PunchSpool &spool,
                            const SyncOptions &options);

// What a terminal told (Identify) and what the fleet file says of it, as its row stores it.
TerminalFacts factsOf(const FleetTerminal &terminal, const TerminalIdentity &id, qint64 drift);
