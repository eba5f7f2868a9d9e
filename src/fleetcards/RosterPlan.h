#pragma once

#include "attlink/protocol/RosterBlock.h"
#include "fleetcards/CardList.h"

#include <vector>

// What one terminal needs to hold the list: the entries to issue (new cards, and cards whose job
// number or name differ), the cards to withdraw (only when unlisted cards are to go), and how many
// are right as they are. Comparing the bytes the terminal keeps makes a second run find nothing to do.
struct RosterPlan {
    std::vector<PackedRosterEntry> add;
    std::vector<PackedRosterEntry> change;
    std::vector<PackedRosterEntry> remove;   // as the terminal holds them
    std::vector<int> addLines, changeLines;  // the list's line of each entry to issue
    qint64 keep = 0;

    bool empty() const { return add.empty() && change.empty() && remove.empty(); }

    // The plan for `terminal` holding `held`: the cards of `list` that go to it (CardList::goesTo).
    static RosterPlan make(const QList<ListedCard> &list, const FleetTerminal &terminal,
                           const std::vector<PackedRosterEntry> &held, bool removeUnlisted);
};
