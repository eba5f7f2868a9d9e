#pragma once

#include <QString>

// An exclusive lock on one line (a serial device or a TCP endpoint) across processes, so that two
// syncs never talk on the same line at once. A lock file per line in a folder (by default the user's
// runtime folder, else one per user in the temporary folder); flock() ties the lock to the open file,
// so a killed process never leaves it held. The folder must be the user's (or root's) and closed to others:
// anyone who can write there could hold a line's lock for ever or plant links as lock files.
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

    // The default folder of the lock files: $XDG_RUNTIME_DIR/zevo-sync, else zevo-sync-UID in the
    // temporary folder, else (when another user made that one) a folder in the user's cache.
    static QString defaultFolder();
    // Makes the folder when missing (closed to others) and checks that it is the user's own (or
    // root's) and not writable by every user; false with `error` saying what to fix.
    static bool prepareFolder(const QString &folder, QString &error);

private:
    int fd_ = -1;
};
