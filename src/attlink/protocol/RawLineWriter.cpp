#include "attlink/protocol/RawLineWriter.h"

#include <cstring>

namespace {

// "00".."99" and "00".."FF": two characters a look-up.
struct DigitPairs {
    char decimal[100][2];
    char hex[256][2];
    constexpr DigitPairs() : decimal{}, hex{}
    {
        for (int i = 0; i < 100; ++i) decimal[i][0] = char('0' + i / 10), decimal[i][1] = char('0' + i % 10);
        constexpr char Hex[] = "0123456789ABCDEF";
        for (int i = 0; i < 256; ++i) hex[i][0] = Hex[i >> 4], hex[i][1] = Hex[i & 15];
    }
};
constexpr DigitPairs pairs;

inline void two(char *p, int v) { std::memcpy(p, pairs.decimal[v], 2); }

}  // namespace

RawLineWriter::RawLineWriter(int machine, bool decimalCards, bool fullYear)
    : decimal_(decimalCards), fullYear_(fullYear)
{
    machine_[0] = char('0' + machine / 100 % 10);
    machine_[1] = char('0' + machine / 10 % 10);
    machine_[2] = char('0' + machine % 10);
}

int RawLineWriter::write(const PackedRecord &r, char *out)
{
    char *p = out;
    std::memcpy(p, machine_, 3);
    p += 3;
    if (decimal_) {
        uint32_t v = r.card;
        for (int i = 9; i >= 0; --i, v /= 10) p[i] = char('0' + v % 10);
        p += 10;
    } else {
        for (int i = 0; i < 4; ++i) std::memcpy(p + 2 * i, pairs.hex[(r.card >> (24 - 8 * i)) & 0xFF], 2);
        p += 8;
    }
    qint64 days = r.when.secs / 86400, rest = r.when.secs % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    if (days != day_) {
        int y, m, d;
        civilFromDays(days, y, m, d);
        for (int i = 3; i >= 0; --i, y /= 10) date_[i] = char('0' + y % 10);
        two(date_ + 4, m);
        two(date_ + 6, d);
        day_ = days;
    }
    const int skip = fullYear_ ? 0 : 2;
    std::memcpy(p, date_ + skip, size_t(8 - skip));
    p += 8 - skip;
    const int s = int(rest);
    two(p, s / 3600);
    two(p + 2, s / 60 % 60);
    two(p + 4, s % 60);
    p += 6;
    std::memcpy(p, r.flag.data(), 4);
    p += 4;
    *p++ = '\r';
    *p++ = '\n';
    return int(p - out);
}
