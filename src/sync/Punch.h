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
    uint8_t suspect = 0;  // PunchSuspect::Reason
};

namespace PunchTime {

// yyyyMMddHHmmss of a terminal's time.
quint64 stampOf(const PackedTime::Civil &c);
QDateTime dateTimeOf(quint64 stamp);
// "yyyy-MM-dd HH:mm:ss" (with 'T' instead of the blank when iso), written into 19 characters at out.
void writeText(quint64 stamp, char *out, bool iso);

}  // namespace PunchTime
