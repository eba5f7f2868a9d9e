#include "attlink/protocol/BlockHeaders.h"

#include "attlink/protocol/BigEndian.h"

namespace BlockHeaders {

using BigEndian::append;
using BigEndian::read;

QByteArray encode(const RangeRequest &h)
{
    QByteArray b;
    append(b, h.firstPacket);
    append(b, h.packets);
    return b;
}

QByteArray encode(const RangeReply &h)
{
    QByteArray b;
    append(b, h.totalItems);
    append(b, h.totalPackets);
    append(b, h.firstPacket);
    append(b, h.packets);
    return b;
}

QByteArray encode(const SinceRequest &h)
{
    QByteArray b;
    append(b, quint64(h.since));
    append(b, h.maxRecords);
    return b;
}

QByteArray encode(const SinceReply &h)
{
    QByteArray b;
    append(b, quint64(h.newestSerial));
    append(b, h.remaining);
    return b;
}

bool decode(const QByteArray &b, RangeRequest &out)
{
    if (b.size() != RangeRequestSize) return false;
    out.firstPacket = read<uint16_t>(b.constData());
    out.packets = read<uint16_t>(b.constData() + 2);
    return true;
}

bool decode(const QByteArray &b, RangeReply &out)
{
    if (b.size() < RangeReplySize) return false;
    out.totalItems = read<uint32_t>(b.constData());
    out.totalPackets = read<uint16_t>(b.constData() + 4);
    out.firstPacket = read<uint16_t>(b.constData() + 6);
    out.packets = read<uint16_t>(b.constData() + 8);
    return true;
}

bool decode(const QByteArray &b, SinceRequest &out)
{
    if (b.size() != SinceRequestSize) return false;
    out.since = read<quint64>(b.constData());
    out.maxRecords = read<uint32_t>(b.constData() + 8);
    return true;
}

bool decode(const QByteArray &b, SinceReply &out)
{
    if (b.size() < SinceReplySize) return false;
    out.newestSerial = read<quint64>(b.constData());
    out.remaining = read<uint32_t>(b.constData() + 8);
    return true;
}

}  // namespace BlockHeaders
