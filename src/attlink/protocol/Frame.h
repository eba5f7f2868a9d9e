#pragma once

#include <QByteArray>
#include <QList>
#include <cstdint>

// One frame of the terminal protocol (layout in docs/protocol.md):
//   A5 5A | address | command | sequence (4 bytes) | length (2 bytes) | payload | CRC-16, all big endian
// The CRC (CCITT, polynomial 0x1021, initial 0xFFFF) covers address through payload.
namespace Frame {

constexpr uint8_t Start1 = 0xA5;
constexpr uint8_t Start2 = 0x5A;
constexpr int HeaderSize = 10;  // markers, address, command, sequence, length
constexpr int OverheadSize = HeaderSize + 2;
constexpr int MaxPayload = 65000;  // hard limit: a longer length field is a bad frame
constexpr uint8_t ReplyBit = 0x80;

struct Message {
    uint8_t address = 0;
    uint8_t command = 0;
    uint32_t sequence = 0;
    QByteArray payload;
};

uint16_t crc16(const char *data, qsizetype size);

// Returns the empty array when the payload is longer than MaxPayload.
QByteArray encode(const Message &message);

enum class Status { NeedMore, Complete, Skipped };

struct Decoded {
    Status status = Status::NeedMore;
    qsizetype consumed = 0;  // bytes of the input used (Complete) or thrown away (Skipped)
    Message message;         // valid when Complete; header fields only when corrupt
    // Skipped because a whole frame arrived with a CRC that does not match: the sender's reply was
    // damaged on the line, so waiting longer for it is pointless.
    bool corrupt = false;
};

// Looks at the start of `bytes` (a pure function). Garbage before a start marker, an oversized length
// or a bad CRC give Skipped with the bytes to drop; a frame cut short gives NeedMore.
Decoded decode(const char *data, qsizetype size, int maxPayload = MaxPayload);
inline Decoded decode(const QByteArray &bytes, int maxPayload = MaxPayload)
{
    return decode(bytes.constData(), bytes.size(), maxPayload);
}

// Incremental decoding over a stream: feed bytes, take complete frames.
class Decoder {
public:
    explicit Decoder(int maxPayload = MaxPayload) : maxPayload_(maxPayload) {}
    void feed(const QByteArray &bytes);
    // Next complete frame, dropping bad bytes on the way; false when more bytes are needed.
    bool next(Message &out);
    qsizetype droppedBytes() const { return dropped_; }
    // Frames dropped for a bad CRC, and the header (address, command, sequence) of the last one.
    qsizetype corruptFrames() const { return corrupt_; }
    const Message &lastCorrupt() const { return lastCorrupt_; }
    qsizetype pendingBytes() const { return buffer_.size() - offset_; }
    // The bytes fed but not yet decoded (a frame begun), for another decoder to go on with.
    QByteArray pending() const { return buffer_.mid(offset_); }
    void clear()
    {
        buffer_.clear();
        offset_ = 0;
    }

private:
    QByteArray buffer_;
    qsizetype offset_ = 0;  // bytes at the front already decoded or dropped, removed lazily
    int maxPayload_;
    qsizetype dropped_ = 0;
    qsizetype corrupt_ = 0;
    Message lastCorrupt_;
};

}  // namespace Frame
