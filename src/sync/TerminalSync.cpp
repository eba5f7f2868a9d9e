#include "sync/TerminalSync.h"

#include "attlink/AttLink.h"
#include "sync/PunchSpool.h"
#include "sync/PunchStore.h"
#include "sync/PunchSuspect.h"
#include "sync/TerminalNotes.h"

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

int fillPercent(quint64 held, quint64 capacity) { return int(qMin<quint64>(held, capacity) * 100 / capacity); }

TerminalFacts factsOf(const FleetTerminal &terminal, const TerminalIdentity &id, const TerminalResult &result)
{
    TerminalFacts facts;
    facts.identity = id.identity;
    facts.name = terminal.name;
    facts.model = id.model;
    facts.firmware = id.firmware;
    facts.address = terminal.address;
    facts.line = terminal.line.text();
    facts.clockDrift = result.drift.value_or(0);
    facts.syncedAt = QDateTime::currentDateTime();
    facts.hasMemory = id.hasMemory;
    facts.capacity = id.capacity;
    facts.held = id.held;
    facts.firstAvailable = id.firstAvailable();
    return facts;
}

// Identifies the terminal and checks it against what is stored for its identity: serials never go
// back, and neither does the oldest record a terminal can still give. False with result.error.
bool identifyKnown(AttLink &link, const FleetTerminal &terminal, PunchStore *store, TerminalResult &result,
                   TerminalIdentity &id, TerminalNotes::Known &known)
{
    if (!link.identify(terminal.address, id)) {
        result.error = QStringLiteral("identify failed: ") + link.lastError();
        return false;
    }
    result.identity = id.identity;
    if (id.identity.isEmpty()) {
        result.error = QStringLiteral("the terminal gave no identity");
        return false;
    }
    result.terminalSerial = id.lastSerial;
    result.seenAt = QDateTime::currentDateTime();
    const QDateTime before = computerWallClock();
    if (id.clock.isValid()) result.drift = before.secsTo(id.clock);
    if (id.hasMemory) result.fillPercent = fillPercent(id.held, id.capacity);
    if (store && !TerminalNotes::known(store->database(), id.identity, known, result.error)) return false;
    result.lastSerial = known.lastSerial;
    // A terminal new to the database where another one was: it was replaced (or readdressed).
    if (store && !known.stored && !store->replacedIdentities(factsOf(terminal, id, result), result.replaced, result.error))
        return false;
    if (id.lastSerial < known.lastSerial) {
        // Serials never go back: a terminal whose memory was replaced, or two terminals with one
        // identity. Collecting would skip its records; the operator has to look.
        result.error = QStringLiteral("the terminal's last serial %1 is below the %2 stored for its identity; nothing collected")
                           .arg(id.lastSerial)
                           .arg(known.lastSerial);
        return false;
    }
    if (id.hasMemory && id.firstAvailable() < known.oldestSerial) {
        result.error = QStringLiteral("the terminal's oldest serial %1 is below the %2 it held before (memory replaced?); nothing collected")
                           .arg(id.firstAvailable())
                           .arg(known.oldestSerial);
        return false;
    }
    if (id.hasMemory && id.firstAvailable() > known.lastSerial + 1) result.lost = qint64(id.firstAvailable() - 1 - known.lastSerial);
    return true;
}

// The records after the stored serial into the spool, each judged for a suspect time. `last` the
// newest serial collected.
bool collectInto(AttLink &link, const FleetTerminal &terminal, const TerminalIdentity &id, const TerminalNotes::Known &known,
                 PunchSpool &spool, const SyncOptions &options, TerminalResult &result, quint64 &last)
{
    QString error;
    if (!spool.reset(error)) {
        result.error = error;
        return false;
    }
    PunchSuspect::Judge judge(QDate::fromString(id.firmware, QStringLiteral("yyyy-MM-dd")), computerWallClock(), known.lastStamp);
    last = known.lastSerial;
    quint64 previous = known.lastSerial;
    QString recordError;
    if (options.progress)
        link.setProgressHandler([&](qint64 done, qint64 expected) { options.progress(terminal.name, done, expected); });
    const bool collected = link.recordsSince(terminal.address, known.lastSerial, [&](const SerialRecord &r) {
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
        p.suspect = judge.judge(p.stamp);
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
        return false;
    }
    if (last < previous) last = previous;
    if (!spool.rewind(error)) {
        result.error = error;
        return false;
    }
    return true;
}


}  // namespace

TerminalResult syncTerminal(AttLink &link, const FleetTerminal &terminal, PunchStore *store, PunchSpool &spool,
                            const SyncOptions &options)
{
    TerminalResult result;
    result.name = terminal.name;
    result.tolerance = terminal.clockTolerance;

    TerminalIdentity id;
    TerminalNotes::Known known;
    if (!identifyKnown(link, terminal, store, result, id, known)) return result;
    if (options.dryRun) {
        result.newRecords = qint64(id.lastSerial - known.lastSerial) - result.lost;
        return result;
    }

    if (options.setClockBeyond && result.drift && qAbs(*result.drift) > *options.setClockBeyond) {
        const QDateTime now = QDateTime::currentDateTime();
        QString date = now.toString(QStringLiteral("yyMMdd")), time = now.toString(QStringLiteral("HHmmss")),
                logged = QStringLiteral("01");
        if (link.ModifyDateTime(qint16(terminal.address), date, time, logged).toBool()) result.clockSet = true;
        else result.error = QStringLiteral("setting the clock failed");
    }

    quint64 last = 0;
    if (!collectInto(link, terminal, id, known, spool, options, result, last)) return result;
    QString error;
    qint64 inserted = 0;
    if (!store->store(factsOf(terminal, id, result), [&](Punch &p, QString &why) { return spool.next(p, why); }, last, inserted,
                      error, terminal.clearAfterSync)) {
        result.error = QStringLiteral("storing failed, nothing kept: ") + error;
        return result;
    }
    result.newRecords = inserted;
    result.lost = store->lost();
    // Another sync may have stored further meanwhile; what is stored is what may go.
    quint64 nowStored = last;
    if (store->lastSerial(id.identity, nowStored, error)) result.lastSerial = nowStored;
    else result.lastSerial = last;

    if (terminal.clearAfterSync && last > 0) {
        // Everything up to `last` is stored: this sync's records and what earlier syncs stored,
        // including those an interrupted sync stored but did not get to delete.
        qint64 deleted = 0;
        if (link.deleteRecordsUpTo(terminal.address, last, deleted)) {
            result.cleared = deleted;
            if (id.hasMemory) {
                const quint64 left = id.held - qMin(id.held, quint64(deleted));
                result.fillPercent = fillPercent(left, id.capacity);
                TerminalNotes::held(store->database(), id.identity, left, error);
            }
        } else if (result.error.isEmpty())
            result.error = QStringLiteral("stored, but clearing the terminal failed (the next sync clears them): ") + link.lastError();
    }
    return result;
}

