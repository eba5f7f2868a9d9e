#pragma once

#include "attlink/protocol/RecordWire.h"

#include <QString>

// The checks every packet of a collection passes before its items are kept, whatever the items'
// encoding: the header agrees with itself (its packet count is what its item count needs), it is the
// packet asked for, it carries the number of items its position calls for, and it agrees with the
// headers before it. A terminal whose memory changed between two packets (cleared by another client,
// records punched) gives disagreeing headers, and the collection fails instead of mixing old and new
// items in one file.
class PacketCheck {
public:
    enum class Fault { None, Malformed, Changed };

    explicit PacketCheck(int perPacket) : perPacket_(perPacket) {}

    // `items` is the number of items the packet carries.
    Fault accept(const RecordWire::PacketHeader &h, int asked, qint64 items);

    // The packets a terminal holding `totalItems` has.
    static qint64 packetsFor(qint64 totalItems, int perPacket) { return (totalItems + perPacket - 1) / perPacket; }
    // The items packet `packet` of such a terminal carries (none past the end).
    static qint64 itemsIn(qint64 totalItems, int packet, int perPacket);

    const RecordWire::PacketHeader &first() const { return first_; }

private:
    int perPacket_;
    bool started_ = false;
    RecordWire::PacketHeader first_;
};
