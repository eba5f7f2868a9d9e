#pragma once

#include "attlink/protocol/PackedTime.h"

#include <QDateTime>
#include <array>
#include <cstdint>

// One punch as the store keeps it. The time is the terminal's own clock (no zone), packed as the
// decimal number yyyyMMddHHmmss so that a million of them convert to text without a date library.
struct Punch {
    quint64 serial = 0;
    uint32_t card = 0;
    quint64 stamp = 0;
    std::array<char, 4> flag{'0', '0', '0', '0'};
    // Where the time falls in UTC, placed by the store in the terminal's zone (sync/ZoneClock.h).
    int32_t utcOffset = 0;
    bool dstGap = false;
    uint8_t suspect = 0;  // PunchSuspect::Reason
};

namespace PunchTime {

// yyyyMMddHHmmss of a terminal's time.
quint64 stampOf(const PackedTime::Civil &c);
QDateTime dateTimeOf(quint64 stamp);
// "yyyy-MM-dd HH:mm:ss" (with 'T' instead of the blank when iso), written into 19 characters at out.
void writeText(quint64 stamp, char *out, bool iso);
// Seconds since 1970-01-01 00:00:00 of the fields as they read (no zone), and back.
qint64 secondsOf(quint64 stamp);
quint64 stampAt(qint64 seconds);
// SQL that reads a time column as its stamp (text of digits).
QString stampSql(bool postgres, const QString &column);

}  // namespace PunchTime
