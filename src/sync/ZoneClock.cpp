#include "sync/ZoneClock.h"

#include "sync/Punch.h"

#include <QDateTime>

ZoneClock::ZoneClock(const QString &zoneName)
    : zone_(zoneName.isEmpty() ? QTimeZone::systemTimeZone() : QTimeZone(zoneName.toUtf8()))
{
}

bool ZoneClock::known(const QString &zoneName) { return QTimeZone::isTimeZoneIdAvailable(zoneName.toUtf8()); }

int ZoneClock::offsetAt(qint64 utc) const { return zone_.offsetFromUtc(QDateTime::fromSecsSinceEpoch(utc, Qt::UTC)); }

ZoneClock::Placement ZoneClock::place(quint64 stamp, qint64 previousUtc)
{
    const qint64 wall = PunchTime::secondsOf(stamp);
    const qint64 day = wall >= 0 ? wall / 86400 : (wall - 86399) / 86400;
    if (day == cachedDay_) return {cachedOffset_, false};
    // Zones change their offset at most a few times a year: a day with the same offset two days
    // either side has that offset all through.
    const int before = offsetAt(wall - 2 * 86400), after = offsetAt(wall + 2 * 86400);
    if (before == after && offsetAt(wall - before) == before) {
        cachedDay_ = day;
        cachedOffset_ = before;
        return {before, false};
    }
    const bool beforeFits = offsetAt(wall - before) == before, afterFits = offsetAt(wall - after) == after;
    if (beforeFits && afterFits) {
        // The repeated hour: the first pass is the larger offset (the earlier moment).
        const int first = qMax(before, after), second = qMin(before, after);
        return {previousUtc != NoPrevious && wall - first < previousUtc ? second : first, false};
    }
    if (beforeFits) return {before, false};
    if (afterFits) return {after, false};
    return {before, true};
}

void writeUtcOffset(int offset, char *out)
{
    out[0] = offset < 0 ? '-' : '+';
    const int minutes = (offset < 0 ? -offset : offset) / 60;
    out[1] = char('0' + minutes / 600);
    out[2] = char('0' + minutes / 60 % 10);
    out[3] = ':';
    out[4] = char('0' + minutes % 60 / 10);
    out[5] = char('0' + minutes % 10);
}
