#pragma once

#include "attlink/Exchange.h"
#include "attlink/protocol/RosterBlock.h"

#include <QString>
#include <vector>

// The roster moved in bulk over an exchange whose line is open: the whole roster read with
// RosterBlocks, entries issued and cards withdrawn many to a request (IssueCards, WithdrawCards),
// so that a full load is bounded by the line rather than by one round trip per card. Errors are one
// English line.
namespace RosterTransfer {

// How much one request carries: roster packets asked for at once, and the bytes of entries a batch
// request holds. On TCP as much as a frame takes; on a serial line about a second of the line, so that
// a damaged frame costs little to send again.
struct Pace {
    int packetsPerRequest = 1;
    int batchBytes = 0;
};
Pace paceFor(bool tcp, int baud);

// The terminal's whole roster, in its memory order. Fails when the roster changes while it is read.
bool read(Exchange &x, int address, const Pace &pace, std::vector<PackedRosterEntry> &out, QString &error);

// Issues `entries` (class 00, never expiring) in batches. `results` gets one status per entry of every
// batch the terminal answered (Ok: added or updated; Refused: no room; BadRequest: the entry breaks
// the terminal's field rules). False with `error` when a batch went unanswered or came back damaged:
// `results` then holds only the batches before it, and nothing of that batch is known to be done.
bool issue(Exchange &x, int address, const Pace &pace, const std::vector<PackedRosterEntry> &entries,
           std::vector<ReplyStatus> &results, QString &error);

// Withdraws `cards` in batches, as issue() (Ok: removed; Refused: it was not in the roster).
bool withdraw(Exchange &x, int address, const Pace &pace, const std::vector<uint32_t> &cards,
              std::vector<ReplyStatus> &results, QString &error);

}  // namespace RosterTransfer
