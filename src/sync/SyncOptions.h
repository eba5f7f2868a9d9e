#pragma once

#include "sync/DatabaseUrl.h"

#include <QString>
#include <atomic>
#include <functional>
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
    // Set (by a signal handler) to stop: the terminal in hand is rolled back during its transfer or
    // finished after it, the others are not started.
    const std::atomic<bool> *stop = nullptr;
    // Called from the worker threads during a transfer: records received so far and expected in all.
    std::function<void(const QString &terminal, qint64 received, qint64 expected)> progress;

    bool stopped() const { return stop && stop->load(); }
};
