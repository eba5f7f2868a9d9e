#pragma once

#include <QString>
#include <QTimeZone>
#include <limits>

// Places a terminal's wall-clock times (sync/Punch.h stamps) in UTC, in the terminal's time zone.
// A time in a spring daylight-saving gap does not exist: it takes the offset from before the gap (a
// clock not yet moved forward) and is marked. A time in the autumn's repeated hour exists twice: it
// takes the first pass, unless that would put it before the punch stored before it (serial order),
// which shows that the clock has gone back already.
class ZoneClock {
public:
    // The zone of an IANA name; the empty name is this computer's zone.
    explicit ZoneClock(const QString &zoneName);
    bool valid() const { return zone_.isValid(); }

    struct Placement {
        int offset = 0;  // seconds east of UTC: UTC = wall - offset
        bool gap = false;
    };
    static constexpr qint64 NoPrevious = std::numeric_limits<qint64>::min();
    // `previousUtc`: seconds since 1970 (UTC) of the punch before this one, or NoPrevious.
    Placement place(quint64 stamp, qint64 previousUtc = NoPrevious);

    // Whether an IANA name is a zone this computer knows.
    static bool known(const QString &zoneName);

private:
    int offsetAt(qint64 utc) const;

    QTimeZone zone_;
    qint64 cachedDay_ = NoPrevious;  // wall-clock day (seconds / 86400) without a change of offset near it
    int cachedOffset_ = 0;
};

// "+01:00": an offset in seconds as ISO 8601 writes it, into 6 characters at out.
void writeUtcOffset(int offset, char *out);
