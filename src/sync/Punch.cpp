#include "sync/Punch.h"

namespace PunchTime {

quint64 stampOf(const QDateTime &when)
{
    if (!when.isValid()) return 0;
    const QDate d = when.date();
    const QTime t = when.time();
    if (d.year() < 1 || d.year() > 9999) return 0;
    return ((((quint64(d.year()) * 100 + d.month()) * 100 + d.day()) * 100 + t.hour()) * 100 + t.minute()) * 100
           + t.second();
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

QString text(quint64 stamp, bool iso)
{
    char buffer[19];
    writeText(stamp, buffer, iso);
    return QString::fromLatin1(buffer, 19);
}

}  // namespace PunchTime
