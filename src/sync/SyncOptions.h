#pragma once

#include "sync/DatabaseUrl.h"

#include <QString>
#include <optional>

// How `attctl sync` runs.
struct SyncOptions {
    DatabaseUrl database;
    int jobs = 4;                          // lines synced at once
    bool dryRun = false;                   // identify and compare only: nothing stored, cleared or set
    std::optional<qint64> setClockBeyond;  // seconds: set the clocks that drift more
    QString lockFolder;                    // the line locks' folder
    int lockWaitSeconds = 60;              // how long a line in use by another sync is waited for
    QString linkSettingsFile;              // AttLink.ini with the link's timeouts; empty: defaults
};
