#pragma once

#include "fleetcards/CardList.h"
#include "fleetcards/RosterOutcome.h"
#include "sync/DatabaseUrl.h"
#include "sync/LineRunner.h"

#include <functional>

// `attctl roster plan|apply|pull` over a fleet: the lines worked on in parallel as the sync does,
// under the same line locks.
struct FleetRosterOptions {
    enum Action { Plan, Apply, Pull };
    Action action = Plan;
    bool removeUnlisted = false;
    bool keepPlans = false;  // each outcome reported carries its plan's lists, not only the counts
    LineRunOptions lines;
    DatabaseUrl database;  // pull: ready (schema current) before run()
};

namespace FleetRoster {

// Called as each terminal finishes, from the worker threads one at a time.
using ResultHandler = std::function<void(const RosterOutcome &outcome, int done, int total)>;

// The outcomes in the fleet file's order, with their counts (the lists and refusals go to onResult only).
QList<RosterOutcome> run(const QList<FleetTerminal> &fleet, const QList<ListedCard> &list,
                         const FleetRosterOptions &options, const ResultHandler &onResult);

}  // namespace FleetRoster
