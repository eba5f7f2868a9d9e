#include "sync/FleetSync.h"

#include "attlink/TerminalClient.h"
#include "sync/Database.h"
#include "sync/LineRunner.h"
#include "sync/PunchSpool.h"
#include "sync/PunchStore.h"
#include "sync/SyncLog.h"
#include "sync/TerminalNotes.h"
#include "sync/TerminalSync.h"

#include <QMutex>

#include <memory>
#include <optional>

namespace {

// The results of the workers, handed on in the fleet file's order: a terminal waits for those
// before it.
class OrderedResults {
public:
    OrderedResults(qsizetype size, const FleetSync::ResultHandler &onResult)
        : results_(size), finished_(size, false), onResult_(onResult)
    {
    }
    void finish(int index, TerminalResult r)
    {
        QMutexLocker hold(&mutex_);
        results_[index] = std::move(r);
        finished_[index] = true;
        ++done_;
        for (; reported_ < results_.size() && finished_[reported_]; ++reported_)
            if (onResult_) onResult_(results_[reported_], done_, int(results_.size()));
    }
    QList<TerminalResult> all() const { return results_; }

private:
    QList<TerminalResult> results_;
    QList<bool> finished_;
    const FleetSync::ResultHandler &onResult_;
    QMutex mutex_;
    int done_ = 0;
    qsizetype reported_ = 0;
};

// The reason of a failed sync on the terminal's row, for `attctl status`; a database that cannot take
// it now is told again by the next sync.
void noteFailure(Database &db, const TerminalResult &r, QMutex &sqliteWrites)
{
    std::optional<QMutexLocker<QMutex>> hold;
    if (!db.postgres()) hold.emplace(&sqliteWrites);
    QString ignored;
    TerminalNotes::failure(db, r.name, r.identity, r.error, r.seenAt, ignored);
}

// Where the workers of one run meet: the results and the gate of SQLite's writes.
struct SyncRun {
    const QList<FleetTerminal> &fleet;
    const SyncOptions &options;
    OrderedResults results;
    QMutex sqliteWrites;
};

// A terminal's result when it was not synced.
TerminalResult failed(const FleetTerminal &terminal, const QString &error, bool started = true)
{
    TerminalResult r;
    r.name = terminal.name;
    r.tolerance = terminal.clockTolerance;
    r.error = error;
    r.started = started;
    return r;
}

// One worker: its own database connection, opened for its first line and again after a failure.
class SyncWorker : public LineWork {
public:
    SyncWorker(SyncRun &run, bool useDatabase) : run_(run), useDatabase_(useDatabase) {}

    bool beforeLine(QString &error) override
    {
        if (!useDatabase_ || db_) return true;
        db_ = Database::open(run_.options.database, error, run_.options.lockWaitSeconds);
        if (!db_) return false;  // the next line tries again: the server may be back
        store_ = std::make_unique<PunchStore>(*db_);
        if (!db_->postgres()) store_->setWriteGate(&run_.sqliteWrites);
        return true;
    }
    bool terminal(TerminalClient &client, int index) override
    {
        TerminalResult r = syncTerminal(client, run_.fleet[index], store_.get(), spool_, run_.options);
        if (!r.ok() && store_ && !run_.options.dryRun) noteFailure(*db_, r, run_.sqliteWrites);
        const bool ok = r.ok();
        run_.results.finish(index, std::move(r));
        return ok;
    }
    void unreached(int index, const QString &error) override
    {
        TerminalResult r = failed(run_.fleet[index], error);
        if (db_ && !run_.options.dryRun) noteFailure(*db_, r, run_.sqliteWrites);
        run_.results.finish(index, std::move(r));
    }
    void notStarted(int index) override
    {
        run_.results.finish(index,
                            failed(run_.fleet[index], QStringLiteral("not started, the sync was stopped"), false));
    }
    void afterLine(bool failed) override
    {
        if (!failed) return;
        // A fresh connection for the next line, in case this one's database session broke.
        store_.reset();
        db_.reset();
    }

private:
    SyncRun &run_;
    bool useDatabase_;
    std::unique_ptr<Database> db_;
    std::unique_ptr<PunchStore> store_;
    PunchSpool spool_;
};

}  // namespace

FleetSync::FleetSync(QList<FleetTerminal> fleet, SyncOptions options, bool useDatabase)
    : fleet_(std::move(fleet)), options_(std::move(options)), useDatabase_(useDatabase)
{
}

QList<TerminalResult> FleetSync::run(const ResultHandler &onResult) const
{
    SyncRun run{fleet_, options_, OrderedResults(fleet_.size(), onResult), {}};
    LineRunOptions lines{options_.jobs, options_.lockFolder, options_.lockWaitSeconds, options_.linkSettingsFile};
    lines.stop = options_.stop;
    LineRunner::run(fleet_, lines, [&] { return std::make_unique<SyncWorker>(run, useDatabase_); });
    return run.results.all();
}
