#include "fleetcards/RosterPlan.h"

#include <QHash>

RosterPlan RosterPlan::make(const QList<ListedCard> &list, const FleetTerminal &terminal,
                            const std::vector<PackedRosterEntry> &held, bool removeUnlisted)
{
    RosterPlan plan;
    // Each held card's entry, and whether the list wants it there.
    QHash<uint32_t, std::pair<qsizetype, bool>> heldAt;
    heldAt.reserve(qsizetype(held.size()));
    for (size_t i = 0; i < held.size(); ++i) heldAt.insert(held[i].card, {qsizetype(i), false});
    for (const ListedCard &c : list) {
        if (!CardList::goesTo(c, terminal)) continue;
        const PackedRosterEntry entry{c.card, c.jobNo, c.name};
        const auto at = heldAt.find(c.card);
        if (at == heldAt.end()) {
            plan.add.push_back(entry);
            plan.addLines.push_back(c.line);
            continue;
        }
        at->second = true;
        const PackedRosterEntry &h = held[size_t(at->first)];
        if (h.jobNo == c.jobNo && h.name == c.name) {
            ++plan.keep;
        } else {
            plan.change.push_back(entry);
            plan.changeLines.push_back(c.line);
        }
    }
    if (removeUnlisted)
        for (const PackedRosterEntry &h : held)
            if (!heldAt.value(h.card).second) plan.remove.push_back(h);
    return plan;
}
