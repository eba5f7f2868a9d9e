#include "fleetcards/FleetRoster.h"

#include "fleetcards/RosterStore.h"
#include "fleetcards/TerminalRoster.h"
#include "sync/Database.h"

#include <QMutex>

#include <memory>

namespace {

struct RosterRun {
    const QList<FleetTerminal> &fleet;
    const QList<ListedCard> &list;
    const FleetRosterOptions &options;
    const FleetRoster::ResultHandler &onResult;
    QList<RosterOutcome> outcomes;
    QMutex mutex;
    QMutex sqliteWrites;
    int done = 0;

    void finish(int index, RosterOutcome r)
    {
        QMutexLocker hold(&mutex);
        ++done;
        if (onResult) onResult(r, done, int(fleet.size()));
        // Only the counts stay once reported: the lists of 64 terminals need not all be held at once.
        r.plan.reset();
        r.refusals.clear();
        outcomes[index] = std::move(r);
    }
};

// One worker; a pull's worker has its own database connection.
class RosterWorker : public LineWork {
public:
    explicit RosterWorker(RosterRun &run) : run_(run) {}

    bool beforeLine(QString &error) override
    {
        if (run_.options.action != FleetRosterOptions::Pull || db_) return true;
        db_ = Database::open(run_.options.database, error, run_.options.lines.lockWaitSeconds);
        if (!db_) return false;
        store_ = std::make_unique<RosterStore>(*db_);
        if (!db_->postgres()) store_->setWriteGate(&run_.sqliteWrites);
        return true;
    }
    bool terminal(TerminalClient &client, int index) override
    {
        const FleetTerminal &t = run_.fleet[index];
        const FleetRosterOptions &o = run_.options;
        RosterOutcome r = o.action == FleetRosterOptions::Pull
            ? TerminalRoster::pull(client, t, *store_)
            : TerminalRoster::planOrApply(client, t, run_.list, o.removeUnlisted, o.action == FleetRosterOptions::Apply,
                                          o.keepPlans);
        const bool ok = r.ok();
        run_.finish(index, std::move(r));
        return ok;
    }
    void unreached(int index, const QString &error) override
    {
        RosterOutcome r;
        r.name = run_.fleet[index].name;
        r.error = error;
        run_.finish(index, std::move(r));
    }
    void afterLine(bool failed) override
    {
        if (!failed) return;
        // A fresh connection for the next line, in case this one's database session broke.
        store_.reset();
        db_.reset();
    }

private:
    RosterRun &run_;
    std::unique_ptr<Database> db_;
    std::unique_ptr<RosterStore> store_;
};

}  // namespace

namespace FleetRoster {

QList<RosterOutcome> run(const QList<FleetTerminal> &fleet, const QList<ListedCard> &list,
                         const FleetRosterOptions &options, const ResultHandler &onResult)
{
    RosterRun run{fleet, list, options, onResult, QList<RosterOutcome>(fleet.size()), {}, {}, 0};
    LineRunner::run(fleet, options.lines, [&] { return std::make_unique<RosterWorker>(run); });
    return run.outcomes;
}

}  // namespace FleetRoster
