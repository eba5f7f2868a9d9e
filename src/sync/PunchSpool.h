#pragma once

#include "sync/Punch.h"

#include <QString>
#include <cstdio>

// The punches of one terminal collected before they are stored, in an unnamed temporary file: memory
// stays constant whatever a terminal holds, and the database's write lock is taken only once the
// transfer is over, so a slow line never holds up the other terminals' stores.
class PunchSpool {
public:
    PunchSpool() = default;
    ~PunchSpool();
    PunchSpool(const PunchSpool &) = delete;
    PunchSpool &operator=(const PunchSpool &) = delete;

    // Starts empty (again); false with `error` when no temporary file can be made.
    bool reset(QString &error);
    bool append(const Punch &p);
    // Ends the writing and goes back to the first punch; false with `error` when a write failed.
    bool rewind(QString &error);
    // The next punch; false at the end. `error` is set when the file cannot be read.
    bool next(Punch &p, QString &error);
    qint64 count() const { return count_; }

private:
    std::FILE *file_ = nullptr;
    qint64 count_ = 0;
    qint64 read_ = 0;
    bool writeFailed_ = false;
};
