#include "sync/Punch.h"

namespace {

// Days since 1970-01-01 of a civil date, and back (proleptic Gregorian, any year of a stamp).
qint64 daysFromCivil(qint64 y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + qint64(doe) - 719468;
}

void civilFromDays(qint64 z, qint64 &y, unsigned &m, unsigned &d)
{
    z += 719468;
    const qint64 era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = qint64(yoe) + era * 400 + (m <= 2);
}

}  // namespace

namespace PunchTime {

QString stampSql(bool postgres, const QString &column)
{
    return postgres ? QStringLiteral("to_char(%1, 'YYYYMMDDHH24MISS')").arg(column)
                    : QStringLiteral("replace(replace(replace(%1, '-', ''), ' ', ''), ':', '')").arg(column);
}

qint64 secondsOf(quint64 stamp)
{
    const qint64 s = qint64(stamp % 100), mi = qint64(stamp / 100 % 100), h = qint64(stamp / 10000 % 100);
    const unsigned d = unsigned(stamp / 1000000 % 100), mo = unsigned(stamp / 100000000 % 100);
    const qint64 y = qint64(stamp / 10000000000ULL);
    return daysFromCivil(y, mo, d) * 86400 + h * 3600 + mi * 60 + s;
}

quint64 stampAt(qint64 seconds)
{
    qint64 days = seconds / 86400, rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    qint64 y = 0;
    unsigned m = 0, d = 0;
    civilFromDays(days, y, m, d);
    return ((quint64(y) * 100 + m) * 100 + d) * 1000000 + quint64(rest / 3600) * 10000 + quint64(rest / 60 % 60) * 100
        + quint64(rest % 60);
}

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
