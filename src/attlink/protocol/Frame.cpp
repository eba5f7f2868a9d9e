#include "attlink/protocol/Frame.h"

namespace Frame {

uint16_t crc16(const char *data, qsizetype size)
{
    uint16_t crc = 0xFFFF;
    for (qsizetype i = 0; i < size; ++i) {
        crc ^= uint16_t(uint8_t(data[i])) << 8;
        for (int b = 0; b < 8; ++b)
            crc = (crc & 0x8000) ? uint16_t((crc << 1) ^ 0x1021) : uint16_t(crc << 1);
    }
    return crc;
}

QByteArray encode(const Message &m)
{
    if (m.payload.size() > MaxPayload) return {};
    QByteArray out;
    out.reserve(OverheadSize + m.payload.size());
    out.append(char(Start1)).append(char(Start2));
    out.append(char(m.address)).append(char(m.command)).append(char(m.sequence));
    out.append(char((m.payload.size() >> 8) & 0xFF)).append(char(m.payload.size() & 0xFF));
    out.append(m.payload);
    const uint16_t crc = crc16(out.constData() + 2, out.size() - 2);
    out.append(char(crc >> 8)).append(char(crc & 0xFF));
    return out;
}

Decoded decode(const QByteArray &bytes, int maxPayload)
{
    Decoded d;
    const qsizetype n = bytes.size();
    qsizetype start = 0;
    while (start < n && uint8_t(bytes[start]) != Start1) ++start;
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
    const int length = (uint8_t(bytes[5]) << 8) | uint8_t(bytes[6]);
    if (length > maxPayload) {
        d.status = Status::Skipped;
        d.consumed = 1;
        return d;
    }
    const qsizetype total = OverheadSize + length;
    if (n < total) return d;
    const uint16_t expected = crc16(bytes.constData() + 2, HeaderSize - 2 + length);
    const uint16_t got = uint16_t((uint8_t(bytes[total - 2]) << 8) | uint8_t(bytes[total - 1]));
    if (expected != got) {
        d.status = Status::Skipped;
        d.consumed = 1;  // resynchronise on the next start marker
        return d;
    }
    d.status = Status::Complete;
    d.consumed = total;
    d.message.address = uint8_t(bytes[2]);
    d.message.command = uint8_t(bytes[3]);
    d.message.sequence = uint8_t(bytes[4]);
    d.message.payload = bytes.mid(HeaderSize, length);
    return d;
}

bool Decoder::next(Message &out)
{
    for (;;) {
        const Decoded d = decode(buffer_, maxPayload_);
        if (d.status == Status::NeedMore) return false;
        buffer_.remove(0, d.consumed);
        if (d.status == Status::Skipped) {
            dropped_ += d.consumed;
            continue;
        }
        out = d.message;
        return true;
    }
}

}  // namespace Frame
