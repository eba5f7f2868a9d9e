#pragma once

#include "attlink/LinkSettings.h"
#include "sync/FleetFile.h"

#include <QList>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>

class TerminalClient;

// How the lines of a fleet are worked through: how many at once, and the line locks.
struct LineRunOptions {
    int jobs = 4;              // lines worked on at once
    QString lockFolder;        // the line locks' folder
    int lockWaitSeconds = 60;  // how long a line in use by another program is waited for
    QString linkSettingsFile;  // AttLink.ini with the link's timeouts; empty: defaults
    // Set (by a signal handler) to stop: the terminal in hand is finished, the others are not started.
    const std::atomic<bool> *stop = nullptr;

    bool stopped() const { return stop && stop->load(); }
};

// What one worker does with the lines it takes, one object per worker thread (so that it may hold a
// database connection of its own).
class LineWork {
public:
    virtual ~LineWork() = default;
    // Before each line: false with `error` when the worker cannot work now (no database); the line's
    // terminals are then unreached.
    virtual bool beforeLine(QString &error)
    {
        (void)error;
        return true;
    }
    // One terminal of the line, over the client whose line is open; false when the terminal failed.
    virtual bool terminal(TerminalClient &client, int index) = 0;
    // A terminal that was not worked on: its line is locked by another program, cannot be opened, ...
    virtual void unreached(int index, const QString &error) = 0;
    // A terminal not started because the run was stopped.
    virtual void notStarted(int index) { unreached(index, QStringLiteral("not started, the run was stopped")); }
    // After the line's terminals, `failed` when one of them failed.
    virtual void afterLine(bool failed) { (void)failed; }
};

// Runs work over a fleet: terminals grouped by line, the lines taken by up to `jobs` workers at once,
// the terminals of one line one after the other on one connection, each line under its lock. A
// failure of a line or a terminal stops only the terminals it concerns; a stop leaves every terminal
// not yet begun not started.
namespace LineRunner {

// The fleet's terminals (indexes) grouped by the line they share, in the fleet file's order.
QList<QList<int>> groupByLine(const QList<FleetTerminal> &fleet);
// The user's AttLink.ini (empty or missing: the defaults); false with `error` when it cannot be read.
bool loadLinkSettings(const QString &settingsFile, LinkSettings &settings, QString &error);
// The link's settings for a line: `base` with the rate of the serial converter behind a TCP line.
LinkSettings settingsFor(const LinkSettings &base, const LineTarget &line);
// Opens the line on `client`; false with `error` saying which line and why.
bool openLine(TerminalClient &client, const LineTarget &line, QString &error);

void run(const QList<FleetTerminal> &fleet, const LineRunOptions &options,
         const std::function<std::unique_ptr<LineWork>()> &newWorker);

}  // namespace LineRunner
