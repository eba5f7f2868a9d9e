#pragma once

#include "attlink/protocol/BlockHeaders.h"

#include <QtGlobal>

// Checks the replies of a range collection in blocks (RecordBlocks, RosterBlocks) against what was
// asked and against each other: the packet asked for, no more packets than asked, exactly the items
// those packets hold by the reply's own total, and the same total in every reply (a changed total
// means items were added or cleared while the collection ran).
class BlockRangeCheck {
public:
    enum class Fault { None, Malformed, Changed };

    explicit BlockRangeCheck(int perPacket) : perPacket_(perPacket) {}
    Fault accept(const BlockHeaders::RangeReply &h, int askedPacket, int askedPackets, qint64 items);
    qint64 total() const { return total_; }

private:
    int perPacket_;
    qint64 total_ = -1;
};
