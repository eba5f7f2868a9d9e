#pragma once

#include "sync/TerminalResult.h"

#include <QList>
#include <QString>

// The lines `attctl sync` prints: one per terminal and a total.
//   [door 1] identity=5A3C0F1E22B14D07 new=118 last-serial=20118 drift=+2s fill=12% ok
//   [gate] identity=- new=0 last-serial=- drift=- fill=- error: the terminal did not answer
// A dry run says waiting= instead of new=, and stored-serial= and terminal-serial= instead of
// last-serial=.
namespace SyncReport {

QString line(const TerminalResult &r, bool dryRun);
// The journal's priority of a terminal's line, as an sd-daemon prefix: "<3>" failed, "<4>" a
// warning (clock beyond its tolerance, identity changed), empty otherwise.
QString priority(const TerminalResult &r);
// The last line of a sync stopped by a signal, instead of the total.
QString interrupted(const QList<TerminalResult> &results);
QString total(const QList<TerminalResult> &results, double seconds, bool dryRun);

}  // namespace SyncReport
