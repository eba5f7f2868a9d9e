#include "attlink/protocol/Frame.h"

#include "attlink/protocol/BigEndian.h"

#include <cstring>

namespace Frame {

namespace {
// Slicing by 8 for the CCITT polynomial: bulk replies run through this at line rate. v[0] is the
// byte-at-a-time table; v[k][x] is the register after byte x followed by k zero bytes, so that eight
// bytes (the register folded into the first two) fold in with eight look-ups.
struct CrcTables {
    uint16_t v[8][256];
    constexpr CrcTables() : v{}
    {
        for (int i = 0; i < 256; ++i) {
            uint16_t c = uint16_t(i << 8);
            for (int b = 0; b < 8; ++b) c = (c & 0x8000) ? uint16_t((c << 1) ^ 0x1021) : uint16_t(c << 1);
            v[0][i] = c;
        }
        for (int k = 1; k < 8; ++k)
            for (int i = 0; i < 256; ++i) v[k][i] = uint16_t((v[k - 1][i] << 8) ^ v[0][v[k - 1][i] >> 8]);
    }
};
constexpr CrcTables crcTables;
}  // namespace

uint16_t crc16(const char *data, qsizetype size)
{
    const auto *p = reinterpret_cast<const uint8_t *>(data);
    const auto &t = crcTables.v;
    uint16_t crc = 0xFFFF;
    qsizetype i = 0;
    for (; i + 8 <= size; i += 8, p += 8)
        crc = uint16_t(t[7][p[0] ^ (crc >> 8)] ^ t[6][p[1] ^ (crc & 0xFF)] ^ t[5][p[2]] ^ t[4][p[3]] ^ t[3][p[4]]
                       ^ t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]]);
    for (; i < size; ++i, ++p) crc = uint16_t((crc << 8) ^ t[0][((crc >> 8) ^ *p) & 0xFF]);
    return crc;
}

QByteArray encode(const Message &m)
{
    if (m.payload.size() > MaxPayload) return {};
    QByteArray out;
    out.reserve(OverheadSize + m.payload.size());
    out.append(char(Start1)).append(char(Start2));
    out.append(char(m.address)).append(char(m.command));
    BigEndian::append(out, m.sequence);
    BigEndian::append(out, uint16_t(m.payload.size()));
    out.append(m.payload);
    const uint16_t crc = crc16(out.constData() + 2, out.size() - 2);
    BigEndian::append(out, crc);
    return out;
}

Decoded decode(const char *bytes, qsizetype n, int maxPayload)
{
    Decoded d;
    if (maxPayload > MaxPayload || maxPayload < 0) maxPayload = MaxPayload;
    const char *marker = n > 0 ? static_cast<const char *>(std::memchr(bytes, Start1, size_t(n))) : nullptr;
    const qsizetype start = marker ? marker - bytes : n;
    if (start > 0) {
        d.status = Status::Skipped;
        d.consumed = start;
        return d;
    }
    if (n < 2) return d;
    if (uint8_t(bytes[1]) != Start2) {
        d.status = Status::Skipped;
        d.consumed = 1;
        return d;
    }
    if (n < HeaderSize) return d;
    const int length = BigEndian::read<uint16_t>(bytes + 8);
    if (length > maxPayload) {
        d.status = Status::Skipped;
        d.consumed = 1;
        return d;
    }
    const qsizetype total = OverheadSize + length;
    if (n < total) return d;
    d.message.address = uint8_t(bytes[2]);
    d.message.command = uint8_t(bytes[3]);
    d.message.sequence = BigEndian::read<uint32_t>(bytes + 4);
    const uint16_t expected = crc16(bytes + 2, HeaderSize - 2 + length);
    const uint16_t got = BigEndian::read<uint16_t>(bytes + total - 2);
    if (expected != got) {
        d.status = Status::Skipped;
        d.consumed = 1;  // resynchronise on the next start marker: the marker itself may be noise
        d.corrupt = true;
        return d;
    }
    d.status = Status::Complete;
    d.consumed = total;
    d.message.payload = QByteArray(bytes + HeaderSize, length);
    return d;
}

void Decoder::feed(const QByteArray &bytes)
{
    // Drop what was already decoded before growing, so a long stream keeps the buffer small.
    if (offset_ > 0 && (offset_ >= buffer_.size() || offset_ > 65536)) {
        buffer_.remove(0, offset_);
        offset_ = 0;
    }
    buffer_.append(bytes);
}

bool Decoder::next(Message &out)
{
    for (;;) {
        const Decoded d = decode(buffer_.constData() + offset_, buffer_.size() - offset_, maxPayload_);
        if (d.status == Status::NeedMore) return false;
        offset_ += d.consumed;
        if (d.status == Status::Skipped) {
            dropped_ += d.consumed;
            if (d.corrupt) {
                ++corrupt_;
                lastCorrupt_ = d.message;
            }
            continue;
        }
        out = d.message;
        return true;
    }
}

}  // namespace Frame
