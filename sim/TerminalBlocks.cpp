// The terminal's compact bulk commands: record and roster blocks by packet, records after a serial,
// and deleting records up to a serial.
#include "sim/Terminal.h"

#include "attlink/protocol/BlockHeaders.h"
#include "attlink/protocol/Fields.h"
#include "attlink/protocol/Frame.h"
#include "attlink/protocol/RecordBlock.h"
#include "attlink/protocol/RosterBlock.h"

#include <QStringEncoder>
#include <vector>

namespace {

using Reply = Terminal::Reply;

Reply bad() { return {ReplyStatus::BadRequest, {}}; }

// Room for the block after the status byte and a header of `header` bytes.
constexpr qsizetype roomAfter(int header) { return Frame::MaxPayload - 1 - header; }

// Encodes n items, halving n until the block fits a frame; `unit` items always fit (a packet).
template <typename Encode>
QByteArray fitting(qsizetype &n, qsizetype unit, qsizetype room, Encode encode)
{
    for (;;) {
        QByteArray block = encode(n);
        if (block.size() <= room || n <= unit) return block;
        n = qMax(unit, n / 2);
    }
}

}  // namespace

Terminal::Reply Terminal::recordBlocks(const QByteArray &payload) const
{
    BlockHeaders::RangeRequest q;
    if (!BlockHeaders::decode(payload, q) || q.firstPacket < 1 || q.packets < 1) return bad();
    const qsizetype wanted = qMin<int>(q.packets, MaxPacketsPerReply);
    const qsizetype first = qsizetype(q.firstPacket - 1) * RecordsPerPacket;
    qsizetype n = qBound<qsizetype>(0, records.size() - first, wanted * RecordsPerPacket);
    std::vector<PackedRecord> &packed = packed_;
    const quint64 serial = firstSerial() + quint64(first);
    const QByteArray block =
        fitting(n, RecordsPerPacket, roomAfter(BlockHeaders::RangeReplySize), [&](qsizetype count) {
            // Whole packets only, so that the next request starts at a packet boundary.
            if (first + count < records.size()) count -= count % RecordsPerPacket;
            n = count;
            packed.resize(size_t(count));
            for (qsizetype i = 0; i < count; ++i) {
                const Record &r = records[first + i];
                packed[size_t(i)] = {serial + quint64(i), r.card, r.when, r.flag};
            }
            return RecordBlock::encode(packed.data(), count);
        });
    BlockHeaders::RangeReply h;
    h.totalItems = uint32_t(records.size());
    h.totalPackets = uint16_t((records.size() + RecordsPerPacket - 1) / RecordsPerPacket);
    h.firstPacket = q.firstPacket;
    h.packets = uint16_t((n + RecordsPerPacket - 1) / RecordsPerPacket);
    return {ReplyStatus::Ok, BlockHeaders::encode(h) + block};
}

Terminal::Reply Terminal::recordsSince(const QByteArray &payload) const
{
    BlockHeaders::SinceRequest q;
    if (!BlockHeaders::decode(payload, q) || q.maxRecords < 1) return bad();
    qsizetype start = records.size();
    if (q.since < lastSerial) start = q.since < firstSerial() ? 0 : qsizetype(q.since - firstSerial() + 1);
    const qsizetype remaining = records.size() - start;
    qsizetype n = qMin<qsizetype>(qMin<qsizetype>(remaining, q.maxRecords), RecordBlock::MaxRecords);
    std::vector<PackedRecord> &packed = packed_;
    const quint64 serial = firstSerial() + quint64(start);
    const QByteArray block = fitting(n, 1, roomAfter(BlockHeaders::SinceReplySize), [&](qsizetype count) {
        packed.resize(size_t(count));
        for (qsizetype i = 0; i < count; ++i) {
            const Record &r = records[start + i];
            packed[size_t(i)] = {serial + quint64(i), r.card, r.when, r.flag};
        }
        return RecordBlock::encode(packed.data(), count);
    });
    BlockHeaders::SinceReply h;
    h.newestSerial = lastSerial;
    h.remaining = uint32_t(remaining);
    return {ReplyStatus::Ok, BlockHeaders::encode(h) + block};
}

Terminal::Reply Terminal::deleteRecordsUpTo(const QStringList &f)
{
    bool ok = false;
    const quint64 upTo = Fields::field(f, 0).toULongLong(&ok);
    if (f.size() != 1 || !ok || Fields::field(f, 0).size() > 20) return bad();
    if (refuseDeletes) return {ReplyStatus::Refused, {}};
    qsizetype n = 0;
    if (!records.isEmpty() && upTo >= firstSerial())
        n = qsizetype(qMin<quint64>(quint64(records.size()), upTo - firstSerial() + 1));
    if (n > 0) {
        logClear(int(n));
        records.remove(0, n);
    }
    return {ReplyStatus::Ok, Fields::join({QString::number(n)})};
}

Terminal::Reply Terminal::rosterBlocks(const QByteArray &payload) const
{
    BlockHeaders::RangeRequest q;
    if (!BlockHeaders::decode(payload, q) || q.firstPacket < 1 || q.packets < 1) return bad();
    const qsizetype wanted = qMin<int>(q.packets, MaxPacketsPerReply);
    const qsizetype first = qsizetype(q.firstPacket - 1) * RosterPerPacket;
    qsizetype n = qBound<qsizetype>(0, roster.size() - first, wanted * RosterPerPacket);
    std::vector<PackedRosterEntry> packed;
    // One converter for the reply: opening one per name costs more than all the rest of a large roster.
    QStringEncoder gb18030("GB18030");
    const QByteArray block = fitting(n, RosterPerPacket, roomAfter(BlockHeaders::RangeReplySize), [&](qsizetype count) {
        if (first + count < roster.size()) count -= count % RosterPerPacket;
        n = count;
        packed.resize(size_t(count));
        for (qsizetype i = 0; i < count; ++i) {
            const Card &c = roster[first + i];
            gb18030.resetState();
            packed[size_t(i)] = {c.card, c.jobNo.toLatin1(), gb18030.encode(c.name)};
        }
        return RosterBlock::encode(packed.data(), count);
    });
    BlockHeaders::RangeReply h;
    h.totalItems = uint32_t(roster.size());
    h.totalPackets = uint16_t((roster.size() + RosterPerPacket - 1) / RosterPerPacket);
    h.firstPacket = q.firstPacket;
    h.packets = uint16_t((n + RosterPerPacket - 1) / RosterPerPacket);
    return {ReplyStatus::Ok, BlockHeaders::encode(h) + block};
}
