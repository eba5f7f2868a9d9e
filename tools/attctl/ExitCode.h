#pragma once

#include <QString>

// attctl's exit status, which scripts rely on.
namespace ExitCode {
enum : int {
    Success = 0,
    Refused = 1,        // the terminal answered and reported failure
    Usage = 2,          // the command line (or a file it names) is not usable; nothing was sent
    Communication = 3,  // the terminal could not be reached or did not answer
    SomeFailed = 4,     // sync: a terminal failed (the others synced), or the database cannot be used
    LocalWrite = 5,     // a file could not be written here (disk full, folder not writable); the earlier file is kept
    Unhealthy = 6,      // status: a terminal is not ok
};
}

// A command line that cannot be carried out: ends the run with ExitCode::Usage and this reason.
struct UsageError {
    QString reason;
};
