#include "attlink/protocol/RawLineWriter.h"

#include <cstring>

namespace {

constexpr char Hex[] = "0123456789ABCDEF";

inline void two(char *p, int v)
{
    p[0] = char('0' + v / 10);
    p[1] = char('0' + v % 10);
}

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
        for (int i = 0; i < 8; ++i) p[i] = Hex[(r.card >> (28 - 4 * i)) & 0xF];
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
