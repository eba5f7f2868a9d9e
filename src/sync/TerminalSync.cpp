#include "sync/TerminalSync.h"

#include "attlink/TerminalClient.h"
#include "sync/PunchSpool.h"
#include "sync/PunchStore.h"
#include "sync/PunchTimeCheck.h"
#include "sync/SyncLog.h"
#include "sync/TerminalNotes.h"

#include <QElapsedTimer>

#include <QTimeZone>

namespace {

// The computer's wall-clock time in the form the link gives the terminal's (fields as they read, taken
// as UTC): their difference is the drift, whatever the time zone.
QDateTime computerWallClock()
{
    const QDateTime now = QDateTime::currentDateTime();
    return QDateTime(now.date(), now.time(), Qt::UTC);
}

int fillPercent(quint64 held, quint64 capacity) { return int(qMin<quint64>(held, capacity) * 100 / capacity); }

// One terminal's sync, step by step; each step fills the result and says whether to go on.
struct TerminalRun {
    TerminalClient &client;
    const FleetTerminal &terminal;
    PunchStore *store;
    PunchSpool &spool;
    const SyncOptions &options;
    TerminalResult result;
    TerminalIdentity id;
    TerminalFacts facts;
    TerminalNotes::Known known;
    quint64 stored = 0, last = 0;
    QElapsedTimer clock;

    bool fail(const QString &error)
    {
        result.error = error;
        qCInfo(syncLog).noquote()
            << QStringLiteral("[%1] failed after %2 ms: %3").arg(terminal.name).arg(clock.elapsed()).arg(error);
        return false;
    }

    bool identify()
    {
        const ClientResult r = client.identify(terminal.address, id);
        if (!r.ok()) return fail(QStringLiteral("identify failed: ") + r.errorString());
        result.identity = id.identity;
        if (id.identity.isEmpty()) return fail(QStringLiteral("the terminal gave no identity"));
        result.terminalSerial = id.lastSerial;
        result.seenAt = QDateTime::currentDateTime();
        if (id.clock.isValid()) result.drift = computerWallClock().secsTo(id.clock);
        if (id.hasMemory) result.fillPercent = fillPercent(id.held, id.capacity);
        QString error;
        if (store && !TerminalNotes::known(store->database(), id.identity, known, error)) return fail(error);
        stored = known.lastSerial;
        result.lastSerial = stored;
        facts = factsOf(terminal, id, result.drift.value_or(0));
        // A terminal new to the database where another one was: it was replaced (or readdressed).
        if (store && !known.stored && !store->replacedIdentities(facts, result.replaced, error)) return fail(error);
        qCInfo(syncLog).noquote() << QStringLiteral("[%1] identified %2 in %3 ms: last serial %4, %5 stored")
                                         .arg(terminal.name, id.identity)
                                         .arg(clock.elapsed())
                                         .arg(id.lastSerial)
                                         .arg(stored);
        // Serials never go back: a terminal whose memory was replaced, or two terminals with one
        // identity. Collecting would skip its records; the operator has to look.
        if (id.lastSerial < stored)
            return fail(QStringLiteral(
                            "the terminal's last serial %1 is below the %2 stored for its identity; nothing collected")
                            .arg(id.lastSerial)
                            .arg(stored));
        if (id.hasMemory && id.firstAvailable() < known.oldestSerial)
            return fail(
                QStringLiteral(
                    "the terminal's oldest serial %1 is below the %2 it held before (memory replaced?); nothing collected")
                    .arg(id.firstAvailable())
                    .arg(known.oldestSerial));
        // Records overwritten before any sync stored them: counted, and the collection goes on.
        if (id.hasMemory && id.firstAvailable() > stored + 1) result.lost = qint64(id.firstAvailable() - 1 - stored);
        return true;
    }

    void setClockIfDrifted()
    {
        if (!options.setClockBeyond || !result.drift || qAbs(*result.drift) <= *options.setClockBeyond) return;
        const ClientResult r = client.setClock(terminal.address, QDateTime::currentDateTime(), true);
        if (r.ok())
            result.clockSet = true;
        else
            result.error = QStringLiteral("setting the clock failed");
        qCInfo(syncLog).noquote() << QStringLiteral("[%1] clock %2 (drift %3 s)")
                                         .arg(terminal.name, r.ok() ? QStringLiteral("set") : r.errorString())
                                         .arg(*result.drift);
    }

    bool collect()
    {
        QString error, recordError;
        if (!spool.reset(error)) return fail(error);
        const qint64 started = clock.elapsed();
        last = stored;
        PunchSuspect::Judge judge(QDate::fromString(id.firmware, QStringLiteral("yyyy-MM-dd")), computerWallClock(),
                                  known.lastStamp);
        if (options.progress)
            client.setProgress([&](qint64 done, qint64 expected) { options.progress(terminal.name, done, expected); });
        // The replies were held to themselves and to each other by the client: serials in order.
        const ClientResult r = client.recordsSince(
            terminal.address, stored,
            [&](const std::vector<PackedRecord> &batch) {
                if (options.stopped()) {
                    recordError = QStringLiteral("the sync was stopped, nothing of this terminal stored");
                    return false;
                }
                Punch p;
                for (const PackedRecord &rec : batch) {
                    p.serial = rec.serial;
                    p.card = rec.card;
                    p.stamp = PunchTime::stampOf(rec.when.civil());
                    p.flag = rec.flag;
                    p.suspect = judge.judge(p.stamp);
                    if (!spool.append(p)) {
                        recordError = QStringLiteral("cannot write the spool file (disk full?)");
                        return false;
                    }
                }
                return true;
            },
            last);
        client.setProgress({});
        if (!r.ok() || !recordError.isEmpty())
            return fail(QStringLiteral("collection failed: ")
                        + (recordError.isEmpty() ? r.errorString() : recordError));
        if (!spool.rewind(error)) return fail(error);
        qCInfo(syncLog).noquote() << QStringLiteral("[%1] collected %2 records in %3 ms")
                                         .arg(terminal.name)
                                         .arg(spool.count())
                                         .arg(clock.elapsed() - started);
        return true;
    }

    bool storeCollected()
    {
        const qint64 started = clock.elapsed();
        facts.clockDrift = result.drift.value_or(0);
        facts.syncedAt = QDateTime::currentDateTime();
        qint64 inserted = 0;
        QString error;
        if (!store->store(
                facts, [&](Punch &p, QString &why) { return spool.next(p, why); }, last, inserted, error,
                terminal.clearAfterSync))
            return fail(QStringLiteral("storing failed, nothing kept: ") + error);
        result.newRecords = inserted;
        result.lost = store->lost();
        // Another sync may have stored further meanwhile; what is stored is what may go.
        quint64 nowStored = last;
        result.lastSerial = store->lastSerial(id.identity, nowStored, error) ? nowStored : last;
        qCInfo(syncLog).noquote() << QStringLiteral("[%1] stored %2 new records in %3 ms")
                                         .arg(terminal.name)
                                         .arg(inserted)
                                         .arg(clock.elapsed() - started);
        return true;
    }

    void clear()
    {
        const SinceReplyCheck::Gap gap = client.skippedSerials();
        // A gap the terminal's memory explains (overwritten before any sync came) is counted as lost.
        const bool overwritten = id.hasMemory && gap.first == stored + 1 && gap.last + 1 == id.firstAvailable()
            && gap.count == gap.last - gap.first + 1;
        if (gap.count > 0 && !overwritten) {
            // Punches lost before this sync came: say so, and leave the terminal as it is this time.
            fail(QStringLiteral("serials %1 to %2 were deleted on the terminal before any sync stored them "
                                "(%3 records lost); what it held is stored%4")
                     .arg(gap.first)
                     .arg(gap.last)
                     .arg(gap.count)
                     .arg(terminal.clearAfterSync ? QStringLiteral(", the terminal not cleared") : QString()));
            return;
        }
        if (!terminal.clearAfterSync || last == 0) return;
        // Everything up to `last` is stored: this sync's records and what earlier syncs stored,
        // including those an interrupted sync stored but did not get to delete.
        const qint64 started = clock.elapsed();
        qint64 deleted = 0;
        const ClientResult r = client.deleteRecordsUpTo(terminal.address, last, deleted);
        if (r.ok()) {
            result.cleared = deleted;
            if (id.hasMemory) {
                QString error;
                const quint64 left = id.held - qMin(id.held, quint64(deleted));
                result.fillPercent = fillPercent(left, id.capacity);
                TerminalNotes::held(store->database(), id.identity, left, error);
            }
        } else if (result.error.isEmpty())
            result.error = QStringLiteral("stored, but clearing the terminal failed (the next sync clears them): ")
                + r.errorString();
        qCInfo(syncLog).noquote() << QStringLiteral("[%1] cleared up to serial %2 in %3 ms: %4")
                                         .arg(terminal.name)
                                         .arg(last)
                                         .arg(clock.elapsed() - started)
                                         .arg(r.ok() ? QStringLiteral("%1 records").arg(deleted) : r.errorString());
    }
};

}  // namespace

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
    facts.timezone = terminal.timezone.isEmpty() ? QString::fromUtf8(QTimeZone::systemTimeZoneId()) : terminal.timezone;
    facts.syncedAt = QDateTime::currentDateTime();
    facts.hasMemory = id.hasMemory;
    facts.capacity = id.capacity;
    facts.held = id.held;
    facts.firstAvailable = id.firstAvailable();
    return facts;
}

TerminalResult syncTerminal(TerminalClient &client, const FleetTerminal &terminal, PunchStore *store, PunchSpool &spool,
                            const SyncOptions &options)
{
    TerminalRun run{client, terminal, store, spool, options, {}, {}, {}, {}, 0, 0, {}};
    run.result.name = terminal.name;
    run.result.tolerance = terminal.clockTolerance;
    run.clock.start();
    if (!run.identify()) return run.result;
    if (options.dryRun || !store) {
        run.result.newRecords = qint64(run.id.lastSerial - run.stored) - run.result.lost;
        return run.result;
    }
    run.setClockIfDrifted();
    if (run.collect() && run.storeCollected()) run.clear();
    return run.result;
}
