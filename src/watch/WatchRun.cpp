#include "watch/WatchRun.h"

#include "sync/LineRunner.h"
#include "watch/LineWatcher.h"
#include "watch/OutputPump.h"
#include "watch/WatchStore.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace WatchRun {

bool run(const QList<FleetTerminal> &fleet, const WatchOptions &options, QString &error)
{
    std::atomic<bool> storeFinish{false}, outputsFinish{false};
    WatchStore store(options.database, 10);
    std::vector<std::unique_ptr<OutputPump>> pumps;
    for (PunchOutput *o : options.outputs) {
        pumps.push_back(std::make_unique<OutputPump>(options.database, *o,
                                                     [&store](const QString &identity) { return store.holds(identity); }));
        if (!pumps.back()->prepare(error)) return false;
    }
    store.setCommitted([&] {
        for (auto &p : pumps) p->wake();
    });
    std::vector<std::thread> threads;
    threads.emplace_back([&] { store.run(storeFinish); });
    for (auto &p : pumps) threads.emplace_back([&, pump = p.get()] { pump->run(outputsFinish); });

    CatchUpGate gate(qMax(1, options.jobs));
    std::vector<std::unique_ptr<LineWatcher>> watchers;
    std::vector<std::thread> lines;
    for (const QList<int> &members : LineRunner::groupByLine(fleet)) {
        QList<FleetTerminal> terminals;
        for (int i : members) terminals.append(fleet[i]);
        watchers.push_back(std::make_unique<LineWatcher>(
            terminals, LineWatchContext{store, options.link, options.lockFolder, gate, *options.stop}));
        lines.emplace_back([w = watchers.back().get()] { w->run(); });
    }
    // The lines end after what they hold is stored; then the writer, then the outputs' last round.
    for (std::thread &t : lines) t.join();
    storeFinish = true;
    store.wake();
    threads.front().join();
    outputsFinish = true;
    for (auto &p : pumps) p->wake();
    for (std::size_t i = 1; i < threads.size(); ++i) threads[i].join();
    return true;
}

bool lockSqliteWriter(const DatabaseUrl &url, bool shared, int &fd, QString &error)
{
    fd = -1;
    if (url.kind != DatabaseUrl::Sqlite) return true;
    const QByteArray path = (url.path + QStringLiteral(".watch-lock")).toLocal8Bit();
    fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0 && shared) return true;  // a folder a sync may not make files in: no watch of its own there
    if (fd < 0) {
        error = QStringLiteral("database %1: cannot open the lock %2: %3")
                    .arg(url.display(), QString::fromLocal8Bit(path), QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    if (::flock(fd, (shared ? LOCK_SH : LOCK_EX) | LOCK_NB) == 0) return true;
    error = shared ? QStringLiteral("database %1: attctl watch is writing it and collects its terminals; a SQLite "
                                    "file has one writer (stop the watch to sync)")
                         .arg(url.display())
                   : QStringLiteral("database %1: another attctl watch (or a sync) is writing it; a SQLite file has "
                                    "one writer (use PostgreSQL for standbys)")
                         .arg(url.display());
    ::close(fd);
    fd = -1;
    return false;
}

}  // namespace WatchRun
