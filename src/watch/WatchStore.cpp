#include "watch/WatchStore.h"

#include "sync/Database.h"
#include "sync/PunchExport.h"
#include "sync/PunchRows.h"
#include "watch/TerminalLease.h"
#include "watch/WatchLog.h"

#include <QSqlQuery>

struct WatchStore::Task {
    enum Kind { Known, Store, Take } kind = Store;
    StoreJob *job = nullptr;
    QString identity;
    TerminalNotes::Known known;
    bool done = false, ok = false;
    QString error;
    quint64 storedLast = 0;
};

WatchStore::WatchStore(const DatabaseUrl &url, int lockWaitSeconds) : url_(url), lockWaitSeconds_(lockWaitSeconds) {}
WatchStore::~WatchStore() = default;

bool WatchStore::submit(Task &task)
{
    std::unique_lock lock(mutex_);
    if (finishing_ && queue_.empty() && !db_) {
        task.error = QStringLiteral("the watch is stopping");
        return false;
    }
    queue_.push_back(&task);
    wake_.notify_one();
    done_.wait(lock, [&] { return task.done; });
    return task.ok;
}

bool WatchStore::store(StoreJob &job, quint64 &storedLast, QString &error)
{
    Task task;
    task.kind = Task::Store;
    task.job = &job;
    const bool ok = submit(task);
    storedLast = task.storedLast;
    error = task.error;
    return ok;
}

bool WatchStore::known(const QString &identity, TerminalNotes::Known &out, QString &error)
{
    Task task;
    task.kind = Task::Known;
    task.identity = identity;
    const bool ok = submit(task);
    out = task.known;
    error = task.error;
    return ok;
}

bool WatchStore::take(const QString &identity)
{
    if (url_.kind != DatabaseUrl::Postgres) return true;
    Task task;
    task.kind = Task::Take;
    task.identity = identity;
    return submit(task);
}

bool WatchStore::holds(const QString &identity) const
{
    if (url_.kind != DatabaseUrl::Postgres) return true;
    std::lock_guard lock(heldMutex_);
    return held_.contains(identity);
}

void WatchStore::noteHeld(const QString &identity, bool held)
{
    std::lock_guard lock(heldMutex_);
    if (held)
        held_.insert(identity);
    else
        held_.remove(identity);
}

void WatchStore::checkLease()
{
    // A lease whose session died holds nothing any more: a standby may be collecting its terminals.
    if (!lease_ || (leaseChecked_.isValid() && leaseChecked_.elapsed() < 1000)) return;
    leaseChecked_.start();
    if (lease_->alive()) return;
    qCWarning(watchLog).noquote() << QStringLiteral("the lease of the terminals was lost (%1): every terminal let go")
                                         .arg(lease_->errorText());
    lease_.reset();
    std::lock_guard lock(heldMutex_);
    held_.clear();
}

void WatchStore::wake()
{
    std::lock_guard lock(mutex_);
    wake_.notify_all();
}

void WatchStore::run(const std::atomic<bool> &finish)
{
    for (;;) {
        std::vector<Task *> tasks;
        {
            std::unique_lock lock(mutex_);
            wake_.wait_for(lock, std::chrono::milliseconds(200), [&] { return !queue_.empty() || finish.load(); });
            if (queue_.empty() && finish.load()) {
                finishing_ = true;
                lease_.reset();  // the terminals go to a standby at once
                return;
            }
            tasks.assign(queue_.begin(), queue_.end());
            queue_.clear();
        }
        checkLease();
        if (tasks.empty()) continue;
        process(tasks);
        {
            std::lock_guard lock(mutex_);
            for (Task *t : tasks) t->done = true;
            done_.notify_all();
        }
        if (committed_) committed_();
    }
}

bool WatchStore::ensureOpen(QString &error)
{
    if (db_) return true;
    // A database that just failed is not asked again at every punch.
    if (lastOpen_.isValid() && lastOpen_.elapsed() < 1000) {
        error = openError_;
        return false;
    }
    lastOpen_.start();
    db_ = Database::open(url_, error, lockWaitSeconds_);
    if (!db_) {
        openError_ = error;
        lost(error);
        return false;
    }
    store_ = std::make_unique<PunchStore>(*db_);
    terminalIds_.clear();
    if (down_) qCWarning(watchLog).noquote() << QStringLiteral("database %1: reachable again").arg(url_.display());
    down_ = false;
    return true;
}

void WatchStore::lost(const QString &error)
{
    if (!down_)
        qCWarning(watchLog).noquote() << QStringLiteral("%1; punches wait on the terminals until it is back").arg(error);
    down_ = true;
}

void WatchStore::process(std::vector<Task *> &tasks)
{
    QString error;
    if (!ensureOpen(error)) {
        for (Task *t : tasks) t->error = error;
        return;
    }
    std::vector<Task *> live;
    for (Task *t : tasks) {
        if (t->kind == Task::Known) {
            t->ok = TerminalNotes::known(*db_, t->identity, t->known, t->error);
        } else if (t->kind == Task::Take) {
            if (!lease_) lease_ = TerminalLease::open(url_, t->error);
            t->ok = lease_ && lease_->tryTake(t->identity);
            noteHeld(t->identity, t->ok);
            t->error.clear();  // not held is no failure of the store
        } else {
            // First the terminal's row with what it told and the records it lost, as a sync would (its
            // last serial left as it is); then its punches with the others, in one transaction.
            qint64 inserted = 0;
            if (t->job->facts)
                t->ok = store_->store(
                    *t->job->facts, [](Punch &, QString &) { return false; }, 0, inserted, t->error, false);
            if (!t->job->facts || t->ok) {
                t->ok = false;
                live.push_back(t);
            }
        }
        if (!t->ok && !t->error.isEmpty() && t->kind == Task::Store) {
            // A failed statement may mean a lost connection: the next job opens a new one.
            store_.reset();
            db_.reset();
            lost(t->error);
            for (Task *rest : tasks)
                if (rest->error.isEmpty() && !rest->ok) rest->error = t->error;
            return;
        }
    }
    if (!live.empty() && !storeLive(live, error)) {
        for (Task *t : live) t->error = error;
        store_.reset();
        db_.reset();
        lost(error);
        return;
    }
    // This process is the terminal's one collector: what it stored is the last serial stored (a
    // terminal whose row had more, after lost records, says so at its next session).
    for (Task *t : tasks)
        if (t->kind == Task::Store && t->ok) t->storedLast = t->job->newLast;
}

bool WatchStore::storeLive(std::vector<Task *> &live, QString &error)
{
    if (!db_->postgres() && !db_->exec(QStringLiteral("PRAGMA synchronous=NORMAL"), error)) return false;
    bool durable = false;
    for (Task *t : live) durable = durable || t->job->durable;
    if (durable && !db_->postgres() && !db_->exec(QStringLiteral("PRAGMA synchronous=FULL"), error)) return false;
    if (!db_->begin(error)) return false;
    for (Task *t : live) {
        StoreJob &job = *t->job;
        qint64 id = terminalIds_.value(job.identity), inserted = 0;
        if (!id && !store_->terminalId(job.identity, id, error)) {
            if (error.isEmpty()) error = db_->failure(QStringLiteral("store"), QStringLiteral("no row for ") + job.identity);
            db_->rollback();
            return false;
        }
        terminalIds_.insert(job.identity, id);
        if (!store_->appendPunches(id, job.punches, job.newLast, inserted, error) || !notifyPunches(id, job, error)) {
            db_->rollback();
            return false;
        }
    }
    if (!db_->commit(error)) return false;
    for (Task *t : live) t->ok = true;
    return true;
}

bool WatchStore::notifyPunches(qint64 id, const StoreJob &job, QString &error)
{
    if (!db_->postgres() || job.punches.empty()) return true;
    // Each punch as `attctl export --format jsonl` writes it, read back inside the storing transaction
    // (with the offset it was placed at): the notifications go out with the commit, or not at all.
    QList<QByteArray> lines;
    if (!PunchRows::bySerial(
            *db_, id, job.punches.front().serial - 1, int(job.punches.size()),
            [&](const ExportRow &row) {
                lines.append(QByteArray());
                PunchExport::appendJsonObject(row, lines.back(), false, false);
                return true;
            },
            error, job.punches.back().serial))
        return false;
    // Once the reading is over (the connection runs one statement at a time), in one statement of
    // escaped literal texts (E'', whatever standard_conforming_strings says): a prepared statement
    // costs PostgreSQL three round trips.
    if (lines.isEmpty()) return true;
    QByteArray sql("SELECT ");
    for (qsizetype i = 0; i < lines.size(); ++i) {
        sql.append(i ? ", pg_notify('zevo_punch', E'" : "pg_notify('zevo_punch', E'");
        sql.append(QByteArray(lines[i]).replace('\\', "\\\\").replace('\'', "''")).append("')");
    }
    return db_->exec(QString::fromUtf8(sql), error);
}
