#pragma once

#include "sync/TerminalResult.h"

#include <QList>
#include <QString>

// The lines `attctl sync` prints: one per terminal and a total.
//   [door 1] identity=5A3C0F1E22B14D07 new=118 last-serial=20118 drift=+2s fill=12% ok
//   [gate] identity=- new=0 last-serial=- drift=- fill=- error: the terminal did not answer
namespace SyncReport {

QString line(const TerminalResult &r, bool dryRun);
QString total(const QList<TerminalResult> &results, double seconds, bool dryRun);

}  // namespace SyncReport
