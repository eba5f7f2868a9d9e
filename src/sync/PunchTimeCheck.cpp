#include "sync/PunchTimeCheck.h"

#include "sync/Punch.h"

namespace {

constexpr quint64 Year2000 = 20000101000000ULL;
constexpr qint64 JumpSeconds = 3600;

quint64 stampOf(const QDateTime &t)
{
    const QDate d = t.date();
    const QTime c = t.time();
    return PunchTime::stampOf(PackedTime::Civil{d.year(), d.month(), d.day(), c.hour(), c.minute(), c.second()});
}

// Seconds from a to b, both wall-clock stamps (no zone: no daylight-saving hour in between).
qint64 secondsBetween(quint64 a, quint64 b)
{
    const QDateTime x = PunchTime::dateTimeOf(a), y = PunchTime::dateTimeOf(b);
    return QDateTime(x.date(), x.time(), Qt::UTC).secsTo(QDateTime(y.date(), y.time(), Qt::UTC));
}

}  // namespace

namespace PunchSuspect {

const char *text(uint8_t reason)
{
    switch (reason) {
    case Before2000:
        return "before 2000";
    case BeforeFirmware:
        return "before the firmware date";
    case Ahead:
        return "more than a day ahead of the computer";
    case ClockJumpedBack:
        return "clock jumped back";
    default:
        return "";
    }
}

Judge::Judge(const QDate &firmware, const QDateTime &computerNow, quint64 previousStamp)
    : firmwareStamp_(firmware.isValid() ? stampOf(firmware.startOfDay(Qt::UTC)) : 0),
      aheadStamp_(stampOf(computerNow.addDays(1))), previous_(previousStamp)
{
}

uint8_t Judge::judge(quint64 stamp)
{
    // Punches come in time order almost always: the exact difference is computed only when one goes back.
    const bool back = previous_ && stamp < previous_ && secondsBetween(stamp, previous_) > JumpSeconds;
    previous_ = stamp;
    if (stamp < Year2000) return Before2000;
    if (stamp < firmwareStamp_) return BeforeFirmware;
    if (stamp > aheadStamp_) return Ahead;
    return back ? ClockJumpedBack : None;
}

}  // namespace PunchSuspect
