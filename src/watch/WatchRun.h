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

// One watch writes a SQLite file, and no sync beside it: the lock beside the file (PATH.watch-lock) is
// held by a watch alone (`shared` false) or by any number of syncs together (`shared` true). False with
// `error` when the other kind holds it; `fd` keeps the lock (close it at the end). Nothing for PostgreSQL.
bool lockSqliteWriter(const DatabaseUrl &url, bool shared, int &fd, QString &error);

}  // namespace WatchRun
