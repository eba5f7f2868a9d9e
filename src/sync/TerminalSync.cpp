#include "sync/TerminalSync.h"

#include "attlink/AttLink.h"
#include "sync/PunchSpool.h"
#include "sync/PunchStore.h"

namespace {

// The computer's wall-clock time in the form the link gives the terminal's (fields as they read, taken
// as UTC): their difference is the drift, whatever the time zone.
QDateTime computerWallClock()
{
    const QDateTime now = QDateTime::currentDateTime();
    return QDateTime(now.date(), now.time(), Qt::UTC);
}

bool toPunch(const SerialRecord &r, Punch &p)
{
    if (!r.when.inRange() || r.flag.size() != 4) return false;
    p.serial = r.serial;
    p.card = r.card;
    p.stamp = PunchTime::stampOf(r.when.civil());
    for (int i = 0; i < 4; ++i) p.flag[size_t(i)] = r.flag[i];
    return true;
}

TerminalFacts factsOf(const FleetTerminal &terminal, const TerminalIdentity &id, qint64 drift)
{
    TerminalFacts facts;
    facts.identity = id.identity;
    facts.name = terminal.name;
    facts.model = id.model;
    facts.firmware = id.firmware;
    facts.address = terminal.address;
    facts.line = terminal.line.text();
    facts.clockDrift = drift;
    facts.syncedAt = QDateTime::currentDateTime();
    return facts;
}

}  // namespace

TerminalResult syncTerminal(AttLink &link, const FleetTerminal &terminal, PunchStore *store, PunchSpool &spool,
                            const SyncOptions &options)
{
    TerminalResult result;
    result.name = terminal.name;
    result.tolerance = terminal.clockTolerance;

    TerminalIdentity id;
    if (!link.identify(terminal.address, id)) {
        result.error = QStringLiteral("identify failed: ") + link.lastError();
        return result;
    }
    result.identity = id.identity;
    if (id.identity.isEmpty()) {
        result.error = QStringLiteral("the terminal gave no identity");
        return result;
    }
    result.terminalSerial = id.lastSerial;
    const QDateTime before = computerWallClock();
    if (id.clock.isValid()) result.drift = before.secsTo(id.clock);

    QString error;
    quint64 stored = 0;
    bool known = true;
    if (store && !store->lastSerial(id.identity, stored, error, &known)) {
        result.error = error;
        return result;
    }
    result.lastSerial = stored;
    TerminalFacts facts = factsOf(terminal, id, result.drift.value_or(0));
    // A terminal new to the database where another one was: it was replaced (or readdressed).
    if (store && !known && !store->replacedIdentities(facts, result.replaced, error)) {
        result.error = error;
        return result;
    }
    if (id.lastSerial < stored) {
        // Serials never go back: a terminal whose memory was replaced, or two terminals with one
        // identity. Collecting would skip its records; the operator has to look.
        result.error = QStringLiteral("the terminal's last serial %1 is below the %2 stored for its identity; nothing collected")
                           .arg(id.lastSerial)
                           .arg(stored);
        return result;
    }
    if (options.dryRun) {
        result.newRecords = qint64(id.lastSerial - stored);
        return result;
    }

    if (options.setClockBeyond && result.drift && qAbs(*result.drift) > *options.setClockBeyond) {
        const QDateTime now = QDateTime::currentDateTime();
        QString date = now.toString(QStringLiteral("yyMMdd")), time = now.toString(QStringLiteral("HHmmss")),
                logged = QStringLiteral("01");
        if (link.ModifyDateTime(qint16(terminal.address), date, time, logged).toBool()) result.clockSet = true;
        else result.error = QStringLiteral("setting the clock failed");
    }

    if (!spool.reset(error)) {
        result.error = error;
        return result;
    }
    quint64 last = stored;
    quint64 previous = stored;
    QString recordError;
    if (options.progress)
        link.setProgressHandler([&](qint64 done, qint64 expected) { options.progress(terminal.name, done, expected); });
    const bool collected = link.recordsSince(terminal.address, stored, [&](const SerialRecord &r) {
        Punch p;
        if (options.stopped()) {
            recordError = QStringLiteral("the sync was stopped, nothing of this terminal stored");
            return false;
        }
        if (r.serial <= previous) {
            recordError = QStringLiteral("the terminal sent serial %1 after %2").arg(r.serial).arg(previous);
            return false;
        }
        if (!toPunch(r, p)) {
            recordError = QStringLiteral("record %1 has no valid time or flag").arg(r.serial);
            return false;
        }
        previous = r.serial;
        if (!spool.append(p)) {
            recordError = QStringLiteral("cannot write the spool file (disk full?)");
            return false;
        }
        return true;
    }, last);
    link.setProgressHandler({});
    if (!collected || !recordError.isEmpty()) {
        result.error = QStringLiteral("collection failed: ") + (recordError.isEmpty() ? link.lastError() : recordError);
        return result;
    }
    if (last < previous) last = previous;
    const SinceReplyCheck::Gap gap = link.skippedSerials();
    if (!spool.rewind(error)) {
        result.error = error;
        return result;
    }

    facts.syncedAt = QDateTime::currentDateTime();
    qint64 inserted = 0;
    if (!store->store(facts, [&](Punch &p, QString &why) { return spool.next(p, why); }, last, inserted, error,
                      terminal.clearAfterSync)) {
        result.error = QStringLiteral("storing failed, nothing kept: ") + error;
        return result;
    }
    result.newRecords = inserted;
    // Another sync may have stored further meanwhile; what is stored is what may go.
    quint64 nowStored = last;
    if (store->lastSerial(id.identity, nowStored, error)) result.lastSerial = nowStored;
    else result.lastSerial = last;

    if (gap.count > 0) {
        // Punches lost before this sync came: say so, and leave the terminal as it is this time.
        result.error = QStringLiteral("serials %1 to %2 were deleted on the terminal before any sync stored them "
                                      "(%3 records lost); what it held is stored%4")
                           .arg(gap.first).arg(gap.last).arg(gap.count)
                           .arg(terminal.clearAfterSync ? QStringLiteral(", the terminal not cleared") : QString());
        return result;
    }
    if (terminal.clearAfterSync && last > 0) {
        // Everything up to `last` is stored: this sync's records and what earlier syncs stored,
        // including those an interrupted sync stored but did not get to delete.
        qint64 deleted = 0;
        if (link.deleteRecordsUpTo(terminal.address, last, deleted))
            result.cleared = deleted;
        else if (result.error.isEmpty())
            result.error = QStringLiteral("stored, but clearing the terminal failed (the next sync clears them): ") + link.lastError();
    }
    return result;
}
