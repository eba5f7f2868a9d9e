#pragma once

#include "attlink/LinkSettings.h"
#include "attlink/PushSubscription.h"
#include "attlink/TerminalIdentity.h"
#include "sync/FleetFile.h"

#include <QElapsedTimer>
#include <cstdio>
#include <QList>
#include <atomic>
#include <condition_variable>
#include <mutex>

class TerminalClient;
class WatchStore;

// How many lines catch up (collect what they missed) at once: `--jobs`.
class CatchUpGate {
public:
    explicit CatchUpGate(int lines) : free_(lines) {}
    // False when `stop` was set while waiting.
    bool acquire(const std::atomic<bool> &stop);
    void release();

private:
    std::mutex mutex_;
    std::condition_variable freed_;
    int free_;
};

// What a line watcher needs besides its terminals.
struct LineWatchContext {
    WatchStore &store;
    LinkSettings link;   // the user's AttLink.ini
    QString lockFolder;  // the line locks', shared with sync
    CatchUpGate &gate;
    const std::atomic<bool> &stop;
};

// Watches the terminals of one line, on a thread of its own, until stopped: identifies each, stores
// what it holds after the last serial stored for its identity, then on TCP subscribes to its pushes
// (acknowledging each only once it is committed) and on a serial line polls the terminals in turn
// with RecordsSince. A repeated serial is ignored, a gap fetched with RecordsSince. Whatever fails
// (the line, a terminal, the database) ends the session: the line is opened again after a pause that
// grows from 1 s to 30 s, and the loss and the recovery are logged once each. With PostgreSQL only
// the terminals this process's lease holds are collected; the others are asked for every second.
class LineWatcher {
public:
    LineWatcher(const QList<FleetTerminal> &terminals, LineWatchContext context);
    void run();

    // The time between two polls of a serial line at `baud`: twice what an empty poll takes on the
    // line (174 ms at 9600 baud), at least MinPollMs (20 ms at 115200): a punch waits at most one
    // interval and one poll, and the line stays free half the time for the replies that carry records.
    static int pollIntervalMs(int baud);
    static constexpr int MinPollMs = 20;
    static constexpr int ClearEveryMs = 60000;

private:
    struct Watched {
        FleetTerminal terminal;
        TerminalIdentity id;
        quint64 stored = 0;     // newest serial stored for its identity
        quint64 lastStamp = 0;  // the time of that punch, for the suspect-time judgement
        bool subscribed = false;
        bool held = false;  // this process collects it (a standby's lease may hold it elsewhere)
        bool standingBy = false;  // said so once
        QElapsedTimer cleared;
    };

    bool session(QString &error);
    bool identify(TerminalClient &client, Watched &w, QString &error);
    bool catchUp(TerminalClient &client, Watched &w, bool withFacts, QString &error);
    bool live(TerminalClient &client, PushSubscription &pushes, QString &error);
    // Stores a push's new punches; `taken` false for a push that must not be acknowledged.
    bool takePush(TerminalClient &client, const PushSubscription::Push &push, bool &taken, QString &error);
    bool storeRecords(Watched &w, const std::vector<PackedRecord> &records, quint64 newLast, bool withFacts,
                      QString &error);
    bool clearIfDue(TerminalClient &client, Watched &w, QString &error);
    bool checkLeases(QString &error);
    void pause(int ms) const;
    QString name() const;

    QList<Watched> watched_;
    LineWatchContext context_;
    bool down_ = false;
    bool restartNow_ = false;  // a terminal was taken over: a new session at once, not a loss
    QElapsedTimer downSince_;
    QElapsedTimer leaseChecked_;
};
