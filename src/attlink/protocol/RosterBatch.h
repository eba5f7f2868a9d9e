#pragma once

#include "attlink/protocol/Commands.h"
#include "attlink/protocol/RosterBlock.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

// The batch roster commands (docs/protocol.md, "Roster batches"): IssueCards carries a roster block of
// entries to add or update, WithdrawCards a count and the cards to remove; the Ok reply of either is a
// count and one status byte per entry, in the order of the request.
namespace RosterBatch {

constexpr int CountBytes = 2;
constexpr int MaxEntries = 65535;

// Bytes one entry takes in an IssueCards request (as RosterBlock::encode writes it).
qsizetype issueBytes(const PackedRosterEntry &e);
constexpr qsizetype WithdrawBytes = 4;

QByteArray encodeWithdraw(const uint32_t *cards, qsizetype n);
// The cards of a WithdrawCards request filling `payload` exactly; false for anything else.
bool decodeWithdraw(const QByteArray &payload, std::vector<uint32_t> &cards);

// The per-entry statuses of a reply (Ok, Refused or BadRequest each).
QByteArray encodeResults(const std::vector<ReplyStatus> &results);
// Reads a reply's statuses, which must be exactly `expected` known ones: a terminal that answers for
// fewer or more entries than it was sent has given a damaged reply, and nothing of it is trusted.
bool decodeResults(const QByteArray &data, qsizetype expected, std::vector<ReplyStatus> &out, QString &why);

}  // namespace RosterBatch
