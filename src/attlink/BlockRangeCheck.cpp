#include "attlink/BlockRangeCheck.h"

BlockRangeCheck::Fault BlockRangeCheck::accept(const BlockHeaders::RangeReply &h, int askedPacket, int askedPackets,
                                               qint64 items)
{
    const qint64 total = h.totalItems;
    if (h.firstPacket != askedPacket || h.packets > askedPackets
        || h.totalPackets != (total + perPacket_ - 1) / perPacket_)
        return Fault::Malformed;
    const qint64 before = qint64(askedPacket - 1) * perPacket_;
    const qint64 held = qBound<qint64>(0, total - before, qint64(h.packets) * perPacket_);
    // Whole packets, the last one possibly short only where the terminal's items end.
    if (items != held || (h.packets > 0 && held <= qint64(h.packets - 1) * perPacket_)) return Fault::Malformed;
    if (h.packets == 0 && total > before) return Fault::Malformed;
    if (total_ >= 0 && total != total_) return Fault::Changed;
    total_ = total;
    return Fault::None;
}
