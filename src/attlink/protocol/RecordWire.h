#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <cstdint>

// An attendance record as a terminal holds it, and its fixed 26-byte wire form:
// card (8 upper-case hex digits) YYYYMMDDhhmmss flag (4 characters).
struct WireRecord {
    uint32_t card = 0;
    QDateTime when;
    QByteArray flag = "0000";
};

namespace RecordWire {

constexpr int Size = 26;

QByteArray encode(const WireRecord &r);
// False when the bytes are not a well-formed record (bad hex, impossible date, flag not printable).
bool decode(const QByteArray &bytes, WireRecord &out);

// Raw file line: 3-digit machine number, card (8 hex or 10 decimal), year (2 or 4), MMDDhhmmss, flag.
QByteArray rawLine(int machine, const WireRecord &r, bool decimalCards, bool fullYear);

// Packet header of a record or roster packet reply: total items, total packets, this packet number.
struct PacketHeader {
    uint32_t totalItems = 0;
    uint16_t totalPackets = 0;
    uint16_t packet = 0;
};
constexpr int PacketHeaderSize = 8;
QByteArray encodeHeader(const PacketHeader &h);
bool decodeHeader(const QByteArray &bytes, PacketHeader &out);

// Card-number texts: 8 hex digits or 10 decimal digits, the value must fit 32 bits.
bool parseCard(const QString &text, uint32_t &out);
QString cardHex(uint32_t card);
QString cardDecimal(uint32_t card);

}  // namespace RecordWire
