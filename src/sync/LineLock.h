#pragma once

#include <QString>

// An exclusive lock on one line (a serial device or a TCP endpoint) across processes, so that two
// syncs never talk on the same line at once. A lock file per line in a folder (by default the user's
// runtime folder, else one per user in the temporary folder); flock() ties the lock to the open file, so a killed process never leaves it held.
class LineLock {
public:
    LineLock() = default;
    ~LineLock();
    LineLock(const LineLock &) = delete;
    LineLock &operator=(const LineLock &) = delete;

    // Takes the lock of `lineKey`, waiting up to waitSeconds (0: only try). False with `error` when
    // another process holds it all that time or the lock file cannot be used.
    bool acquire(const QString &folder, const QString &lineKey, int waitSeconds, QString &error);
    void release();

    // The default folder of the lock files: $XDG_RUNTIME_DIR/zevo-sync, else the temporary folder.
    static QString defaultFolder();

private:
    int fd_ = -1;
};
