#pragma once

#include <QByteArray>
#include <cstdint>

// Fields of 0 to 64 bits packed one after the other, most significant bit first.
class BitWriter {
public:
    explicit BitWriter(QByteArray &out) : out_(out) {}
    void put(uint64_t value, int bits)
    {
        for (int left = bits; left > 0;) {
            const int take = left < 8 - fill_ ? left : 8 - fill_;
            const uint64_t part = (value >> (left - take)) & ((uint64_t(1) << take) - 1);
            current_ = uint8_t(current_ | (part << (8 - fill_ - take)));
            fill_ += take;
            left -= take;
            if (fill_ == 8) flush();
        }
    }
    // Pads the last byte with zero bits.
    void finish()
    {
        if (fill_ > 0) flush();
    }

private:
    void flush()
    {
        out_.append(char(current_));
        current_ = 0;
        fill_ = 0;
    }
    QByteArray &out_;
    uint8_t current_ = 0;
    int fill_ = 0;
};

// Reads what BitWriter wrote. The caller checks beforehand that the bytes hold every bit it reads.
class BitReader {
public:
    explicit BitReader(const uint8_t *data) : data_(data) {}
    uint64_t get(int bits)
    {
        uint64_t v = 0;
        for (int left = bits; left > 0;) {
            const int avail = 8 - int(pos_ & 7);
            const int take = left < avail ? left : avail;
            const uint64_t b = (data_[pos_ >> 3] >> (avail - take)) & ((1u << take) - 1);
            v = (v << take) | b;
            pos_ += uint64_t(take);
            left -= take;
        }
        return v;
    }

private:
    const uint8_t *data_;
    uint64_t pos_ = 0;
};

// Bits needed for values up to `max` (0 for 0).
inline int bitsFor(uint64_t max) { return max == 0 ? 0 : 64 - __builtin_clzll(max); }
