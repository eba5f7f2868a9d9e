#include "attlink/protocol/BlockHeaders.h"

namespace BlockHeaders {

namespace {

void put(QByteArray &b, uint64_t v, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i) b.append(char(v >> (8 * i)));
}

uint64_t get(const QByteArray &b, int at, int bytes)
{
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) v = (v << 8) | uint8_t(b[at + i]);
    return v;
}

}  // namespace

QByteArray encode(const RangeRequest &h)
{
    QByteArray b;
    put(b, h.firstPacket, 2);
    put(b, h.packets, 2);
    return b;
}

QByteArray encode(const RangeReply &h)
{
    QByteArray b;
    put(b, h.totalItems, 4);
    put(b, h.totalPackets, 2);
    put(b, h.firstPacket, 2);
    put(b, h.packets, 2);
    return b;
}

QByteArray encode(const SinceRequest &h)
{
    QByteArray b;
    put(b, h.since, 8);
    put(b, h.maxRecords, 4);
    return b;
}

QByteArray encode(const SinceReply &h)
{
    QByteArray b;
    put(b, h.newestSerial, 8);
    put(b, h.remaining, 4);
    return b;
}

bool decode(const QByteArray &b, RangeRequest &out)
{
    if (b.size() != RangeRequestSize) return false;
    out.firstPacket = uint16_t(get(b, 0, 2));
    out.packets = uint16_t(get(b, 2, 2));
    return true;
}

bool decode(const QByteArray &b, RangeReply &out)
{
    if (b.size() < RangeReplySize) return false;
    out.totalItems = uint32_t(get(b, 0, 4));
    out.totalPackets = uint16_t(get(b, 4, 2));
    out.firstPacket = uint16_t(get(b, 6, 2));
    out.packets = uint16_t(get(b, 8, 2));
    return true;
}

bool decode(const QByteArray &b, SinceRequest &out)
{
    if (b.size() != SinceRequestSize) return false;
    out.since = get(b, 0, 8);
    out.maxRecords = uint32_t(get(b, 8, 4));
    return true;
}

bool decode(const QByteArray &b, SinceReply &out)
{
    if (b.size() < SinceReplySize) return false;
    out.newestSerial = get(b, 0, 8);
    out.remaining = uint32_t(get(b, 8, 4));
    return true;
}

}  // namespace BlockHeaders
