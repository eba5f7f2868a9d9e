// The terminal's batch roster commands: many entries issued or withdrawn in one request, with a
// status per entry.
#include "sim/Terminal.h"

#include "attlink/OperationArgs.h"
#include "attlink/protocol/RosterBatch.h"

#include <QHash>
#include <QStringDecoder>
#include <QSet>

namespace {

// Where each card stands in the roster, made once per request so that a batch costs no more than
// one pass over the roster.
QHash<uint32_t, qsizetype> indexOf(const QList<Terminal::Card> &roster)
{
    QHash<uint32_t, qsizetype> index;
    index.reserve(roster.size());
    for (qsizetype i = 0; i < roster.size(); ++i) index.insert(roster[i].card, i);
    return index;
}

}  // namespace

Terminal::Reply Terminal::issueCards(const QByteArray &payload)
{
    std::vector<PackedRosterEntry> entries;
    QString why;
    if (!RosterBlock::decode(payload.constData(), payload.size(), entries, why)) return {ReplyStatus::BadRequest, {}};
    QHash<uint32_t, qsizetype> index = indexOf(roster);
    std::vector<ReplyStatus> results;
    results.reserve(entries.size());
    // One converter for the whole batch: opening one per name would cost more than the rest.
    QStringDecoder gb18030("GB18030");
    for (const PackedRosterEntry &e : entries) {
        Card c;
        c.card = e.card;
        c.jobNo = QString::fromLatin1(e.jobNo);
        gb18030.resetState();
        c.name = gb18030.decode(e.name);
        // The same field rules as AddCard: a name must be whole GB18030.
        if (!OperationArgs::jobNumber(c.jobNo) || gb18030.hasError()) {
            results.push_back(ReplyStatus::BadRequest);
            continue;
        }
        const auto at = index.constFind(c.card);
        if (at != index.cend()) {
            roster[*at] = c;  // issuing a known card again updates its entry
        } else if (roster.size() >= rosterCapacity) {
            results.push_back(ReplyStatus::Refused);
            continue;
        } else {
            index.insert(c.card, roster.size());
            roster.append(c);
        }
        results.push_back(ReplyStatus::Ok);
    }
    return {ReplyStatus::Ok, RosterBatch::encodeResults(results)};
}

Terminal::Reply Terminal::withdrawCards(const QByteArray &payload)
{
    std::vector<uint32_t> cards;
    if (!RosterBatch::decodeWithdraw(payload, cards)) return {ReplyStatus::BadRequest, {}};
    QSet<uint32_t> going;
    std::vector<ReplyStatus> results;
    results.reserve(cards.size());
    {
        const QHash<uint32_t, qsizetype> index = indexOf(roster);
        for (uint32_t card : cards) {
            const bool held = index.contains(card) && !going.contains(card);
            if (held) going.insert(card);
            results.push_back(held ? ReplyStatus::Ok : ReplyStatus::Refused);
        }
    }
    // One pass keeps the order of the cards that stay.
    roster.removeIf([&](const Card &c) { return going.contains(c.card); });
    return {ReplyStatus::Ok, RosterBatch::encodeResults(results)};
}
