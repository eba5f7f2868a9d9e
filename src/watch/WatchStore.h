#pragma once

#include "sync/DatabaseUrl.h"
#include "sync/Punch.h"
#include "sync/PunchStore.h"
#include "sync/TerminalNotes.h"

#include <QElapsedTimer>
#include <QHash>
#include <QSet>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class Database;
class TerminalLease;

// What a line hands the store: one terminal's new punches in serial order.
struct StoreJob {
    QString name;  // the fleet file's name, for the notifications
    QString identity;
    int address = 0;
    // The terminal's row is written with these (after it identified itself); without them the row
    // must exist and only the punches and the last serial go in.
    std::optional<TerminalFacts> facts;
    std::vector<Punch> punches;
    quint64 newLast = 0;
    bool durable = false;  // the commit reaches the disk before store() returns (before clearing)
};

// The one writer of a watch: a thread of its own holds the only database connection that stores, and
// the lines' threads hand it their punches and wait for the commit, so that nothing is acknowledged
// to a terminal before it is stored. What arrives together is stored in one transaction; on
// PostgreSQL each punch is announced by NOTIFY zevo_punch (its JSON line) inside that transaction.
// A database that fails is opened again at the next job (at most once a second); its loss and its
// recovery are logged once each.
class WatchStore {
public:
    WatchStore(const DatabaseUrl &url, int lockWaitSeconds);
    ~WatchStore();

    // From a line's thread: true once the job is committed; false with `error`. `storedLast` is the
    // newest serial stored for the terminal afterwards.
    bool store(StoreJob &job, quint64 &storedLast, QString &error);
    // What the database knows of an identity.
    bool known(const QString &identity, TerminalNotes::Known &out, QString &error);
    // Whether this process may collect the terminal: always on SQLite (one watch a file); on
    // PostgreSQL when the lease holds it (took it now, or held it already), so that hot standbys share
    // the terminals out. A lease whose session died lets every terminal go, and is opened anew.
    bool take(const QString &identity);
    // Whether the last take() of the identity held it (any thread; always true on SQLite): an output
    // hands on only the punches of the terminals this process collects.
    bool holds(const QString &identity) const;

    // The writer's loop; returns once `finish` is set and every job handed in is done.
    void run(const std::atomic<bool> &finish);
    void wake();
    // Called after each commit (from the writer's thread), e.g. to wake the outputs.
    void setCommitted(std::function<void()> committed) { committed_ = std::move(committed); }

private:
    struct Task;
    bool submit(Task &task);
    bool ensureOpen(QString &error);
    void process(std::vector<Task *> &tasks);
    bool storeLive(std::vector<Task *> &live, QString &error);
    bool notifyPunches(qint64 terminalId, const StoreJob &job, QString &error);
    void lost(const QString &error);

    DatabaseUrl url_;
    int lockWaitSeconds_;
    std::unique_ptr<Database> db_;
    std::unique_ptr<PunchStore> store_;
    std::unique_ptr<TerminalLease> lease_;
    QHash<QString, qint64> terminalIds_;  // of the open connection's store
    QElapsedTimer leaseChecked_;
    void checkLease();
    QElapsedTimer lastOpen_;
    QString openError_;
    bool down_ = false;
    std::function<void()> committed_;

    mutable std::mutex heldMutex_;
    QSet<QString> held_;
    void noteHeld(const QString &identity, bool held);
    std::mutex mutex_;
    std::condition_variable wake_, done_;
    std::deque<Task *> queue_;
    bool finishing_ = false;
};
