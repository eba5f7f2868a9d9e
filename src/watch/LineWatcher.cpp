#include "watch/LineWatcher.h"

#include "attlink/Exchange.h"
#include "attlink/TerminalClient.h"
#include "attlink/protocol/BlockHeaders.h"
#include "attlink/protocol/Frame.h"
#include "sync/LineLock.h"
#include "sync/LineRunner.h"
#include "sync/PunchTimeCheck.h"
#include "sync/TerminalSync.h"
#include "watch/WatchLog.h"
#include "watch/WatchStore.h"

#include <QThread>

namespace {

constexpr int PushWaitMs = 200;
constexpr int LongestPauseMs = 30000;
constexpr std::size_t CatchUpChunk = 5000;  // punches stored at a time while catching up

// The computer's wall-clock time in the form the terminal's clock comes in (fields taken as UTC).
QDateTime computerWallClock()
{
    const QDateTime now = QDateTime::currentDateTime();
    return QDateTime(now.date(), now.time(), Qt::UTC);
}

// A terminal that cannot push (a serial line, older firmware) is polled instead.
bool cannotPush(const ClientResult &r)
{
    return r.replyStatus() && *r.replyStatus() != ReplyStatus::Ok;
}

}  // namespace

bool CatchUpGate::acquire(const std::atomic<bool> &stop)
{
    std::unique_lock lock(mutex_);
    while (free_ == 0) {
        if (stop.load()) return false;
        freed_.wait_for(lock, std::chrono::milliseconds(100));
    }
    --free_;
    return true;
}

void CatchUpGate::release()
{
    std::lock_guard lock(mutex_);
    ++free_;
    freed_.notify_one();
}

int LineWatcher::pollIntervalMs(int baud)
{
    // An empty poll: the request (12 + 12 bytes) and the reply's frame, status, since header and an
    // empty record block (12 + 1 + 12 + 34 bytes), 10 bits a byte.
    const int bytes = Frame::OverheadSize + BlockHeaders::SinceRequestSize + Frame::OverheadSize + 1
        + BlockHeaders::SinceReplySize + RecordBlock::HeaderSize;
    const int lineMs = (bytes * 10 * 1000 + baud - 1) / qMax(1, baud);
    return qMax(MinPollMs, 2 * lineMs);
}

LineWatcher::LineWatcher(const QList<FleetTerminal> &terminals, LineWatchContext context) : context_(context)
{
    for (const FleetTerminal &t : terminals) watched_.append(Watched{t, {}, 0, 0, false, false, false, {}});
}

QString LineWatcher::name() const
{
    QStringList names;
    for (const Watched &w : watched_) names << w.terminal.name;
    return u'[' + names.join(QStringLiteral(", ")) + u']';
}

void LineWatcher::pause(int ms) const
{
    for (QElapsedTimer clock; !context_.stop.load();) {
        if (!clock.isValid()) clock.start();
        const qint64 left = ms - clock.elapsed();
        if (left <= 0) return;
        QThread::msleep(ulong(qMin<qint64>(left, 100)));
    }
}

void LineWatcher::run()
{
    int pauseMs = 1000;
    while (!context_.stop.load()) {
        QString error;
        restartNow_ = false;
        if (session(error)) pauseMs = 1000;
        if (context_.stop.load()) break;
        if (restartNow_) continue;
        if (!down_) {
            qCWarning(watchLog).noquote()
                << QStringLiteral("%1 lost: %2 (trying again after a pause of 1 s growing to 30 s)").arg(name(), error);
            down_ = true;
            downSince_.start();
        }
        pause(pauseMs);
        pauseMs = qMin(pauseMs * 2, LongestPauseMs);
    }
}

bool LineWatcher::session(QString &error)
{
    const LineTarget &line = watched_.front().terminal.line;
    LineLock lock;
    if (!lock.acquire(context_.lockFolder, line.key(), 0, error)) return false;
    TerminalClient client(LineRunner::settingsFor(context_.link, line));
    if (!LineRunner::openLine(client, line, error)) return false;
    if (!context_.gate.acquire(context_.stop)) return false;
    bool caughtUp = true;
    for (Watched &w : watched_) {
        w.subscribed = false;
        caughtUp = caughtUp && identify(client, w, error);
        if (!caughtUp) break;
        w.held = context_.store.take(w.id.identity);
        if (!w.held && !w.standingBy)
            qCWarning(watchLog).noquote()
                << QStringLiteral("[%1] collected by another watch: standing by").arg(w.terminal.name);
        w.standingBy = !w.held;
        caughtUp = !w.held || catchUp(client, w, true, error);
    }
    context_.gate.release();
    if (!caughtUp) return false;
    PushSubscription pushes(client);
    if (client.isTcp()) {
        for (Watched &w : watched_) {
            if (!w.held) continue;
            quint64 newest = 0;
            const ClientResult r = pushes.subscribe(w.terminal.address, w.stored, newest);
            if (!r.ok() && !cannotPush(r)) {
                error = QStringLiteral("[%1] subscribing failed: %2").arg(w.terminal.name, r.errorString());
                return false;
            }
            w.subscribed = r.ok();
        }
    }
    if (down_)
        qCWarning(watchLog).noquote() << QStringLiteral("%1 back after %2 s").arg(name()).arg(downSince_.elapsed() / 1000);
    down_ = false;
    live(client, pushes, error);
    return true;
}

bool LineWatcher::identify(TerminalClient &client, Watched &w, QString &error)
{
    const ClientResult r = client.identify(w.terminal.address, w.id);
    if (!r.ok()) {
        error = QStringLiteral("[%1] identify failed: %2").arg(w.terminal.name, r.errorString());
        return false;
    }
    if (w.id.identity.isEmpty()) {
        error = QStringLiteral("[%1] the terminal gave no identity").arg(w.terminal.name);
        return false;
    }
    TerminalNotes::Known known;
    if (!context_.store.known(w.id.identity, known, error)) return false;
    w.stored = known.lastSerial;
    w.lastStamp = known.lastStamp;
    // Serials never go back: its memory was replaced, or two terminals share an identity.
    if (w.id.lastSerial < w.stored) {
        error = QStringLiteral("[%1] the terminal's last serial %2 is below the %3 stored for its identity")
                    .arg(w.terminal.name)
                    .arg(w.id.lastSerial)
                    .arg(w.stored);
        return false;
    }
    return true;
}

bool LineWatcher::storeRecords(Watched &w, const std::vector<PackedRecord> &records, quint64 newLast, bool withFacts,
                               QString &error)
{
    StoreJob job;
    job.name = w.terminal.name;
    job.identity = w.id.identity;
    job.address = w.terminal.address;
    job.newLast = newLast;
    if (withFacts) {
        const qint64 drift = w.id.clock.isValid() ? computerWallClock().secsTo(w.id.clock) : 0;
        job.facts = factsOf(w.terminal, w.id, drift);
    }
    PunchSuspect::Judge judge(QDate::fromString(w.id.firmware, QStringLiteral("yyyy-MM-dd")), computerWallClock(),
                              w.lastStamp);
    job.punches.reserve(records.size());
    for (const PackedRecord &rec : records) {
        if (rec.serial <= w.stored) continue;  // a serial already stored: never twice
        Punch p;
        p.serial = rec.serial;
        p.card = rec.card;
        p.stamp = PunchTime::stampOf(rec.when.civil());
        p.flag = rec.flag;
        p.suspect = judge.judge(p.stamp);
        job.punches.push_back(p);
    }
    if (job.punches.empty() && !withFacts && newLast <= w.stored) return true;
    quint64 storedLast = 0;
    if (!context_.store.store(job, storedLast, error)) {
        error = QStringLiteral("[%1] storing failed: %2").arg(w.terminal.name, error);
        return false;
    }
    if (!job.punches.empty()) w.lastStamp = job.punches.back().stamp;
    w.stored = qMax(storedLast, newLast);
    return true;
}

bool LineWatcher::catchUp(TerminalClient &client, Watched &w, bool withFacts, QString &error)
{
    std::vector<PackedRecord> held;
    quint64 last = w.stored;
    bool storeFailed = false;
    const ClientResult r = client.recordsSince(
        w.terminal.address, w.stored,
        [&](const std::vector<PackedRecord> &batch) {
            held.insert(held.end(), batch.begin(), batch.end());
            if (held.size() < CatchUpChunk) return true;
            // A long backlog goes in pieces: memory stays small, and what is stored stays stored.
            storeFailed = !storeRecords(w, held, held.back().serial, withFacts, error);
            withFacts = false;
            held.clear();
            return !storeFailed && !context_.stop.load();
        },
        last);
    if (storeFailed) return false;
    if (!r.ok() && r.error() != LinkFailure::Stopped) {
        error = QStringLiteral("[%1] collecting failed: %2").arg(w.terminal.name, r.errorString());
        return false;
    }
    const SinceReplyCheck::Gap gap = client.skippedSerials();
    if (gap.count > 0)
        qCWarning(watchLog).noquote() << QStringLiteral("[%1] serials %2 to %3 were deleted on the terminal before "
                                                        "they were stored (%4 records lost)")
                                             .arg(w.terminal.name)
                                             .arg(gap.first)
                                             .arg(gap.last)
                                             .arg(gap.count);
    return storeRecords(w, held, held.empty() ? last : held.back().serial, withFacts, error);
}

bool LineWatcher::takePush(TerminalClient &client, const PushSubscription::Push &push, bool &taken, QString &error)
{
    taken = true;
    Watched *w = nullptr;
    for (Watched &each : watched_)
        if (each.terminal.address == push.address && each.subscribed) w = &each;
    if (!w) {  // never acknowledged: no push is taken that is not stored
        qCWarning(watchLog).noquote() << QStringLiteral("%1 push from address %2, which is not subscribed: ignored")
                                             .arg(name())
                                             .arg(push.address);
        taken = false;
        return true;
    }
    if (push.records.front().serial <= w->stored) {
        // Stored already: acknowledged with the rest, never stored twice.
        qCWarning(watchLog).noquote() << QStringLiteral("[%1] pushed serials %2 to %3 again: stored already, ignored")
                                             .arg(w->terminal.name)
                                             .arg(push.records.front().serial)
                                             .arg(qMin(push.records.back().serial, w->stored));
        if (push.records.back().serial <= w->stored) return true;
    }
    if (push.records.front().serial > w->stored + 1) {
        // A gap: what the push skipped is fetched before anything after it is stored.
        qCWarning(watchLog).noquote() << QStringLiteral("[%1] push begins at serial %2 after %3: fetching the gap")
                                          .arg(w->terminal.name)
                                          .arg(push.records.front().serial)
                                          .arg(w->stored);
        if (!catchUp(client, *w, false, error)) return false;
    }
    if (!storeRecords(*w, push.records, qMax(w->stored, push.records.back().serial), false, error)) return false;
    return true;
}

bool LineWatcher::live(TerminalClient &client, PushSubscription &pushes, QString &error)
{
    bool anySubscribed = false;
    for (const Watched &w : watched_) anySubscribed = anySubscribed || w.subscribed;
    const int baud = client.exchange() ? client.exchange()->lineBaud() : 9600;
    const int pollMs = client.isTcp() ? PushWaitMs : pollIntervalMs(baud);
    int next = 0;  // the terminal polled next, in turn
    QElapsedTimer sincePoll;
    sincePoll.start();
    while (!context_.stop.load()) {
        if (anySubscribed) {
            PushSubscription::Push push;
            bool got = false;
            const ClientResult r = pushes.next(PushWaitMs, push, got);
            if (!r.ok()) {
                error = QStringLiteral("%1 %2").arg(name(), r.errorString());
                return false;
            }
            if (got) {
                bool taken = false;
                if (!takePush(client, push, taken, error)) return false;
                const ClientResult ack = taken ? pushes.acknowledge(push) : ClientResult();
                if (!ack.ok()) {
                    error = QStringLiteral("%1 acknowledging failed: %2").arg(name(), ack.errorString());
                    return false;
                }
            }
        } else {
            pause(int(qMax<qint64>(0, pollMs - sincePoll.elapsed())));
        }
        if (sincePoll.elapsed() >= pollMs) {
            sincePoll.start();
            for (int i = 0; i < watched_.size(); ++i) {
                Watched &w = watched_[(next + i) % watched_.size()];
                if (w.subscribed || !w.held) continue;
                next = (next + i + 1) % int(watched_.size());
                if (!catchUp(client, w, false, error)) return false;
                break;
            }
        }
        for (Watched &w : watched_)
            if (w.held && !clearIfDue(client, w, error)) return false;
        if (!checkLeases(error)) return false;
    }
    return true;
}

bool LineWatcher::checkLeases(QString &error)
{
    if (leaseChecked_.isValid() && leaseChecked_.elapsed() < 1000) return true;
    leaseChecked_.start();
    for (Watched &w : watched_) {
        const bool held = context_.store.take(w.id.identity);
        if (w.held && !held) {
            error = QStringLiteral("[%1] the lease of the terminal was lost").arg(w.terminal.name);
            return false;
        }
        if (!w.held && held) {
            // Its holder went: a new session catches it up and subscribes.
            qCWarning(watchLog).noquote() << QStringLiteral("[%1] taken over from a watch that stopped").arg(w.terminal.name);
            restartNow_ = true;
            return false;
        }
    }
    return true;
}

bool LineWatcher::clearIfDue(TerminalClient &client, Watched &w, QString &error)
{
    if (!w.terminal.clearAfterSync || w.stored == 0 || (w.cleared.isValid() && w.cleared.elapsed() < ClearEveryMs))
        return true;
    w.cleared.start();
    // On the disk first: a power cut must not lose what the terminal no longer holds.
    StoreJob job;
    job.name = w.terminal.name;
    job.identity = w.id.identity;
    job.newLast = w.stored;
    job.durable = true;
    quint64 storedLast = 0;
    if (!context_.store.store(job, storedLast, error)) return false;
    qint64 deleted = 0;
    const ClientResult r = client.deleteRecordsUpTo(w.terminal.address, qMin(w.stored, storedLast), deleted);
    if (!r.ok())
        qCInfo(watchLog).noquote() << QStringLiteral("[%1] clearing failed (tried again in a minute): %2")
                                          .arg(w.terminal.name, r.errorString());
    return true;
}
