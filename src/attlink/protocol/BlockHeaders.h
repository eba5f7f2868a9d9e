#pragma once

#include <QByteArray>
#include <cstdint>

// The small binary headers around the compact blocks (docs/protocol.md, "Record and roster blocks").
namespace BlockHeaders {

// RecordBlocks / RosterBlocks request: first packet (2), packets wanted (2).
struct RangeRequest {
    uint16_t firstPacket = 0;
    uint16_t packets = 0;
};
constexpr int RangeRequestSize = 4;

// Their reply, before the block: items held (4), packets held (2), the first packet (2) and how many
// packets follow (2).
struct RangeReply {
    uint32_t totalItems = 0;
    uint16_t totalPackets = 0;
    uint16_t firstPacket = 0;
    uint16_t packets = 0;
};
constexpr int RangeReplySize = 10;

// RecordsSince request: the serial after which records are wanted (8), at most this many (4).
struct SinceRequest {
    uint64_t since = 0;
    uint32_t maxRecords = 0;
};
constexpr int SinceRequestSize = 12;

// Its reply, before the block: the newest serial the terminal ever stored (8) and how many records
// after the asked serial it holds (4).
struct SinceReply {
    uint64_t newestSerial = 0;
    uint32_t remaining = 0;
};
constexpr int SinceReplySize = 12;

QByteArray encode(const RangeRequest &h);
QByteArray encode(const RangeReply &h);
QByteArray encode(const SinceRequest &h);
QByteArray encode(const SinceReply &h);
// Each reads its header at the start of `bytes`; false when the bytes are too short (or, for the
// requests, not exactly the header).
bool decode(const QByteArray &bytes, RangeRequest &out);
bool decode(const QByteArray &bytes, RangeReply &out);
bool decode(const QByteArray &bytes, SinceRequest &out);
bool decode(const QByteArray &bytes, SinceReply &out);

}  // namespace BlockHeaders
