#include "fleetcards/TerminalRoster.h"

#include "attlink/TerminalClient.h"
#include "attlink/RosterTransfer.h"
#include "attlink/protocol/RecordWire.h"
#include "fleetcards/RosterStore.h"

namespace {

RosterTransfer::Pace paceOf(TerminalClient &client)
{
    return RosterTransfer::paceFor(client.isTcp(), client.settings().baud);
}

QString refusalText(ReplyStatus s)
{
    return s == ReplyStatus::Refused ? QStringLiteral("the terminal's roster is full")
                                     : QStringLiteral("the terminal does not accept the entry");
}

// Issues the plan's new and changed entries: the terminal's answer entry by entry.
void issue(TerminalClient &client, const FleetTerminal &terminal, const RosterPlan &plan, RosterOutcome &out)
{
    std::vector<PackedRosterEntry> entries;
    entries.reserve(plan.add.size() + plan.change.size());
    entries.insert(entries.end(), plan.add.begin(), plan.add.end());
    entries.insert(entries.end(), plan.change.begin(), plan.change.end());
    std::vector<ReplyStatus> results;
    QString error;
    const bool done =
        RosterTransfer::issue(*client.exchange(), terminal.address, paceOf(client), entries, results, error);
    const size_t adds = plan.add.size();
    for (size_t i = 0; i < results.size(); ++i) {
        if (results[i] == ReplyStatus::Ok) {
            ++(i < adds ? out.added : out.changed);
            continue;
        }
        const int line = i < adds ? plan.addLines[i] : plan.changeLines[i - adds];
        out.refusals.append({entries[i].card, line, refusalText(results[i])});
    }
    if (!done)
        out.error = QStringLiteral("issuing cards failed: ") + error;
    else if (!out.refusals.isEmpty())
        out.error = QStringLiteral("%1 of %2 cards refused (%3)")
                        .arg(out.refusals.size())
                        .arg(entries.size())
                        .arg(out.refusals.first().why);
}

}  // namespace

namespace TerminalRoster {

RosterOutcome planOrApply(TerminalClient &client, const FleetTerminal &terminal, const QList<ListedCard> &list,
                          bool removeUnlisted, bool apply, bool keepPlan)
{
    RosterOutcome out;
    out.name = terminal.name;
    std::vector<PackedRosterEntry> held;
    QString error;
    if (!RosterTransfer::read(*client.exchange(), terminal.address, paceOf(client), held, error)) {
        out.error = QStringLiteral("reading the roster failed: ") + error;
        return out;
    }
    auto plan = std::make_shared<RosterPlan>(RosterPlan::make(list, terminal, held, removeUnlisted));
    held = {};
    out.add = qint64(plan->add.size());
    out.change = qint64(plan->change.size());
    out.remove = qint64(plan->remove.size());
    out.keep = plan->keep;
    if (keepPlan) out.plan = plan;
    if (!apply || plan->empty()) return out;

    // Withdrawn first, so that a full roster makes room for the listed cards.
    if (!plan->remove.empty()) {
        std::vector<uint32_t> cards;
        cards.reserve(plan->remove.size());
        for (const PackedRosterEntry &e : plan->remove) cards.push_back(e.card);
        std::vector<ReplyStatus> results;
        const bool done =
            RosterTransfer::withdraw(*client.exchange(), terminal.address, paceOf(client), cards, results, error);
        // Refused: the card was gone already, which is what was wanted.
        for (ReplyStatus s : results) out.removed += s == ReplyStatus::Ok;
        if (!done) {
            out.error = QStringLiteral("withdrawing cards failed: ") + error;
            return out;
        }
    }
    if (!plan->add.empty() || !plan->change.empty()) issue(client, terminal, *plan, out);
    return out;
}

RosterOutcome pull(TerminalClient &client, const FleetTerminal &terminal, RosterStore &store)
{
    RosterOutcome out;
    out.name = terminal.name;
    TerminalIdentity id;
    const ClientResult identified = client.identify(terminal.address, id);
    if (!identified.ok()) {
        out.error = QStringLiteral("identify failed: ") + identified.errorString();
        return out;
    }
    if (id.identity.isEmpty()) {
        out.error = QStringLiteral("the terminal gave no identity");
        return out;
    }
    out.identity = id.identity;
    std::vector<PackedRosterEntry> held;
    QString error;
    if (!RosterTransfer::read(*client.exchange(), terminal.address, paceOf(client), held, error)) {
        out.error = QStringLiteral("reading the roster failed: ") + error;
        return out;
    }
    if (!store.replace(id.identity, terminal.name, held, error)) {
        out.error = QStringLiteral("storing failed, the earlier roster is kept: ") + error;
        return out;
    }
    out.pulled = qint64(held.size());
    return out;
}

}  // namespace TerminalRoster
