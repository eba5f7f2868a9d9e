#pragma once

#include <QtEndian>
#include <QtGlobal>
#include <bit>
#include <cstdint>

// Fields of 0 to 64 bits packed one after the other, most significant bit first, into a buffer the
// caller sized for them.
class BitWriter {
public:
    explicit BitWriter(uint8_t *out) : out_(out) {}
    void put(uint64_t value, int bits)
    {
        if (bits == 0) return;
        if (bits > 32) {
            put(value >> 32, bits - 32);
            value &= 0xFFFFFFFFu;
            bits = 32;
        }
        acc_ = (acc_ << bits) | (value & ((uint64_t(1) << bits) - 1));
        fill_ += bits;
        while (fill_ >= 8) {
            fill_ -= 8;
            *out_++ = uint8_t(acc_ >> fill_);
        }
        acc_ &= (uint64_t(1) << fill_) - 1;
    }
    // Pads the last byte with zero bits; returns the end of what was written.
    uint8_t *finish()
    {
        if (fill_ > 0) *out_++ = uint8_t(acc_ << (8 - fill_));
        fill_ = 0;
        acc_ = 0;
        return out_;
    }

private:
    uint8_t *out_;
    uint64_t acc_ = 0;
    int fill_ = 0;
};

// Reads what BitWriter wrote from [data, data + size); bits past the end read as zero. The caller
// checks beforehand that the bytes hold every field it means to use.
class BitReader {
public:
    BitReader(const uint8_t *data, qsizetype size) : data_(data), size_(size) {}
    uint64_t get(int bits)
    {
        if (bits == 0) return 0;
        if (bits > 56) {
            const uint64_t high = get(bits - 32);
            return (high << 32) | get(32);
        }
        const qsizetype byte = qsizetype(pos_ >> 3);
        uint64_t w = 0;
        if (byte + 8 <= size_) {
            w = qFromBigEndian<quint64>(data_ + byte);
        } else {
            for (int i = 0; i < 8 && byte + i < size_; ++i) w |= uint64_t(data_[byte + i]) << (56 - 8 * i);
        }
        const int offset = int(pos_ & 7);
        pos_ += uint64_t(bits);
        return (w << offset) >> (64 - bits);
    }

private:
    const uint8_t *data_;
    qsizetype size_;
    uint64_t pos_ = 0;
};

// Bits needed for values up to `max` (0 for 0).
inline int bitsFor(uint64_t max) { return int(std::bit_width(max)); }
