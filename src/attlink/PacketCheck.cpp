#include "attlink/PacketCheck.h"

#include <QtGlobal>

qint64 PacketCheck::itemsIn(qint64 totalItems, int packet, int perPacket)
{
    return qBound(qint64(0), totalItems - qint64(packet - 1) * perPacket, qint64(perPacket));
}

PacketCheck::Fault PacketCheck::accept(const RecordWire::PacketHeader &h, int asked, qint64 items)
{
    // A header must be consistent on its own: a claim of 65,535 packets for a handful of items is
    // refused at the first packet instead of being asked for packet by packet.
    if (h.packet != asked || h.totalPackets != packetsFor(h.totalItems, perPacket_)) return Fault::Malformed;
    if (started_ && (h.totalItems != first_.totalItems || h.totalPackets != first_.totalPackets)) return Fault::Changed;
    if (items != itemsIn(h.totalItems, asked, perPacket_)) return Fault::Malformed;
    if (!started_) {
        started_ = true;
        first_ = h;
    }
    return Fault::None;
}
