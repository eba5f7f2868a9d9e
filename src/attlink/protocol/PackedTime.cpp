#include "attlink/protocol/PackedTime.h"

// The usual era-based conversion (eras of 400 years, March-based years so that the leap day ends one).
qint64 daysFromCivil(int year, int month, int day)
{
    const qint64 y = qint64(year) - (month <= 2);
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const qint64 yoe = y - era * 400;
    const qint64 doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const qint64 doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civilFromDays(qint64 days, int &year, int &month, int &day)
{
    days += 719468;
    const qint64 era = (days >= 0 ? days : days - 146096) / 146097;
    const qint64 doe = days - era * 146097;
    const qint64 yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const qint64 doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const qint64 mp = (5 * doy + 2) / 153;
    day = int(doy - (153 * mp + 2) / 5 + 1);
    month = int(mp < 10 ? mp + 3 : mp - 9);
    year = int(yoe + era * 400 + (month <= 2));
}

PackedTime PackedTime::fromCivil(int year, int month, int day, int hour, int minute, int second)
{
    return {daysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second};
}

PackedTime PackedTime::fromDateTime(const QDateTime &t)
{
    const QDate d = t.date();
    const QTime c = t.time();
    return fromCivil(d.year(), d.month(), d.day(), c.hour(), c.minute(), c.second());
}

PackedTime::Civil PackedTime::civil() const
{
    qint64 days = secs / 86400, rest = secs % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    Civil c{};
    civilFromDays(days, c.year, c.month, c.day);
    c.hour = int(rest / 3600);
    c.minute = int(rest / 60 % 60);
    c.second = int(rest % 60);
    return c;
}

QDateTime PackedTime::toDateTime() const
{
    const Civil c = civil();
    return QDateTime(QDate(c.year, c.month, c.day), QTime(c.hour, c.minute, c.second), Qt::UTC);
}
