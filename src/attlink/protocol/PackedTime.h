#pragma once

#include <QDateTime>
#include <cstdint>

// A terminal's wall-clock time (it has no zone) as whole seconds since 1970-01-01 00:00:00: cheap to
// copy, subtract and format, which matters when a collection moves a million records.
struct PackedTime {
    qint64 secs = 0;

    // Years 1..9999, the range the record files can write.
    static constexpr qint64 Min = -62135596800;  // 0001-01-01 00:00:00
    static constexpr qint64 Max = 253402300799;  // 9999-12-31 23:59:59
    bool inRange() const { return secs >= Min && secs <= Max; }

    static PackedTime fromCivil(int year, int month, int day, int hour, int minute, int second);
    // The date and time fields of `t` as they read, whatever its time zone.
    static PackedTime fromDateTime(const QDateTime &t);
    // The same wall-clock time as a QDateTime with Qt::UTC (no daylight-saving gaps), as the link's
    // other record types keep it.
    QDateTime toDateTime() const;

    struct Civil {
        int year, month, day, hour, minute, second;
    };
    Civil civil() const;

    friend bool operator==(PackedTime a, PackedTime b) { return a.secs == b.secs; }
};

// Days since 1970-01-01 of a proleptic Gregorian date, and back (valid for every year above).
qint64 daysFromCivil(int year, int month, int day);
void civilFromDays(qint64 days, int &year, int &month, int &day);
