#include "sync/Punch.h"

namespace PunchTime {

quint64 stampOf(const PackedTime::Civil &c)
{
    return ((((quint64(c.year) * 100 + quint64(c.month)) * 100 + quint64(c.day)) * 100 + quint64(c.hour)) * 100
            + quint64(c.minute))
        * 100
        + quint64(c.second);
}

QDateTime dateTimeOf(quint64 stamp)
{
    const int s = int(stamp % 100), mi = int(stamp / 100 % 100), h = int(stamp / 10000 % 100);
    const int d = int(stamp / 1000000 % 100), mo = int(stamp / 100000000 % 100), y = int(stamp / 10000000000ULL);
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s));
}

void writeText(quint64 stamp, char *out, bool iso)
{
    // Fields from the right: ss, mm, HH, dd, MM, yyyy.
    static constexpr int Positions[] = {17, 14, 11, 8, 5};
    for (int p : Positions) {
        const int two = int(stamp % 100);
        stamp /= 100;
        out[p] = char('0' + two / 10);
        out[p + 1] = char('0' + two % 10);
    }
    const int year = int(stamp % 10000);
    out[0] = char('0' + year / 1000);
    out[1] = char('0' + year / 100 % 10);
    out[2] = char('0' + year / 10 % 10);
    out[3] = char('0' + year % 10);
    out[4] = out[7] = '-';
    out[10] = iso ? 'T' : ' ';
    out[13] = out[16] = ':';
}

}  // namespace PunchTime
