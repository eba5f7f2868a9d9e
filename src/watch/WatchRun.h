#pragma once

#include "attlink/LinkSettings.h"
#include "sync/DatabaseUrl.h"
#include "sync/FleetFile.h"

#include <QList>
#include <atomic>

class PunchOutput;

struct WatchOptions {
    DatabaseUrl database;
    int jobs = 4;  // lines catching up at once
    QString lockFolder;
    LinkSettings link;
    QList<PunchOutput *> outputs;  // the caller's
    const std::atomic<bool> *stop = nullptr;
};

// attctl watch: a watcher per line, the one writer, a pump per output, until `stop` is set; then the
// lines finish what they hold, the writer stores it and the outputs hand on what is stored.
namespace WatchRun {

// False with `error` when an output's marks cannot be started (nothing was watched).
bool run(const QList<FleetTerminal> &fleet, const WatchOptions &options, QString &error);

// A second watch writing one SQLite file is refused: the lock beside the file (PATH.watch-lock) is
// held while a watch runs. False with `error` when another one holds it; `fd` keeps it (close it at the end).
bool lockSqliteWriter(const DatabaseUrl &url, int &fd, QString &error);

}  // namespace WatchRun
