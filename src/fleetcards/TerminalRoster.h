#pragma once

#include "fleetcards/CardList.h"
#include "fleetcards/RosterOutcome.h"

class TerminalClient;
class RosterStore;

// The work on one terminal whose line is open.
namespace TerminalRoster {

// Reads the roster and compares it with the list; with `apply`, withdraws the unlisted cards (when
// the plan has any) and then issues the new and changed entries, counting only what the terminal
// confirmed entry by entry. Nothing is kept between runs: a run killed at any moment leaves the
// terminal with some batches done, and the next run plans from what the terminal then holds.
RosterOutcome planOrApply(TerminalClient &client, const FleetTerminal &terminal, const QList<ListedCard> &list,
                          bool removeUnlisted, bool apply, bool keepPlan);

// Identifies the terminal, reads its roster and stores it for its identity.
RosterOutcome pull(TerminalClient &client, const FleetTerminal &terminal, RosterStore &store);

}  // namespace TerminalRoster
