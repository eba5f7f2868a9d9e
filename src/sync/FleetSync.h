#pragma once

#include "sync/FleetFile.h"
#include "sync/SyncOptions.h"
#include "sync/TerminalResult.h"

#include <QList>
#include <functional>

// The sync of a whole fleet: terminals grouped by line, the groups run by up to `jobs` workers at
// once, the terminals of one line one after the other on one connection. Each worker holds the lock
// of the line it uses and its own database connection. A failure of a line, a terminal or the
// database stops only the terminals it concerns.
//
// The database must be ready (schema current, writable) before run(); in a dry run it is only read,
// and `useDatabase` false means there is none yet.
class FleetSync {
public:
    FleetSync(QList<FleetTerminal> fleet, SyncOptions options, bool useDatabase = true);

    // Called as each terminal finishes, in the fleet file's order (a terminal waits for those before
    // it), from the worker threads one at a time; `done` counts the terminals finished.
    using ResultHandler = std::function<void(const TerminalResult &result, int done, int total)>;

    // The results in the fleet file's order. Const because the workers share the fleet: a non-const
    // QList access detaches, and two threads detaching one list at once corrupt the heap.
    QList<TerminalResult> run(const ResultHandler &onResult) const;

private:
    QList<FleetTerminal> fleet_;
    SyncOptions options_;
    bool useDatabase_;
};
