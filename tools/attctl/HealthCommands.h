#pragma once

#include "sync/SyncOptions.h"
#include "sync/TerminalResult.h"

#include <QList>
#include <QTextStream>

// After a sync run: the run noted in the database (for the metrics) and, with a path, the metrics
// file written whole from the database. Returns ExitCode::LocalWrite when the file could not be
// written, Success otherwise (a note the database refuses is said on `err` and changes nothing else).
int finishSyncRun(QTextStream &err, const SyncOptions &options, const QList<TerminalResult> &results, double seconds,
                  const QString &metricsPath);
