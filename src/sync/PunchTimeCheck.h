#pragma once

#include <QDate>
#include <QDateTime>
#include <cstdint>

// Why a punch's time cannot be trusted, judged as the punches of a terminal are collected in serial
// order. The reasons are kept with the punch (punches.suspect) and exported with it.
namespace PunchSuspect {

enum Reason : uint8_t {
    None = 0,
    Before2000,       // a clock that lost its setting
    BeforeFirmware,   // earlier than the terminal's firmware was made
    Ahead,            // more than a day after the computer's clock
    ClockJumpedBack,  // more than an hour before the previous serial's time
};

// The stored text of a reason: empty for None.
const char *text(uint8_t reason);

class Judge {
public:
    // `firmware` the terminal's firmware date (invalid: not used); `computerNow` the computer's
    // wall-clock time; `previousStamp` the time of the serial before the first to be judged (0: none).
    Judge(const QDate &firmware, const QDateTime &computerNow, quint64 previousStamp);
    // The reason for a punch's time (yyyyMMddHHmmss), which becomes the previous one.
    uint8_t judge(quint64 stamp);

private:
    quint64 firmwareStamp_ = 0;
    quint64 aheadStamp_ = 0;
    quint64 previous_ = 0;
};

}  // namespace PunchSuspect
