#include "sync/LineRunner.h"

#include "attlink/LinkSettings.h"
#include "attlink/TerminalClient.h"
#include "link/PortFailureText.h"
#include "sync/LineLock.h"
#include "sync/SyncLog.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <atomic>
#include <thread>
#include <vector>

namespace {

struct Line {
    LineTarget target;
    QList<int> members;  // indexes into the fleet, in file order
};

QList<Line> linesOf(const QList<FleetTerminal> &fleet)
{
    QList<Line> lines;
    QHash<QString, qsizetype> byKey;
    for (int i = 0; i < fleet.size(); ++i) {
        const QString key = fleet[i].line.key();
        auto it = byKey.find(key);
        if (it == byKey.end()) {
            it = byKey.insert(key, lines.size());
            lines.append(Line{fleet[i].line, {}});
        }
        lines[*it].members.append(i);
    }
    return lines;
}

}  // namespace

namespace LineRunner {

// The link's settings for a line: the user's AttLink.ini (timeouts, retries) with the rate of the
// serial converter behind a TCP line on top (a serial line's rate goes to openSerial).
LinkSettings settingsFor(const LinkSettings &base, const LineTarget &line)
{
    LinkSettings s = base;
    if (line.kind == LineTarget::Tcp && line.baud > 0) s.tcpBaud = line.baud;
    return s;
}

bool openLine(TerminalClient &client, const LineTarget &line, QString &error)
{
    const ClientResult r = line.kind == LineTarget::Tcp ? client.openTcp(line.host, quint16(line.port))
                                                        : client.openSerial(line.device, line.baud);
    qCInfo(syncLog).noquote()
        << QStringLiteral("line %1: %2").arg(line.text(), r.ok() ? QStringLiteral("open") : r.errorString());
    if (r.ok()) return true;
    if (line.kind == LineTarget::Tcp) {
        error = QStringLiteral("cannot connect to %1: %2").arg(line.text(), client.connectFailure());
        return false;
    }
    const PortFailure &failure = client.portFailure();
    error = QStringLiteral("cannot open ")
        + (failure.any() ? QStringLiteral("serial:") + portFailureText(failure) : line.text());
    return false;
}

QList<QList<int>> groupByLine(const QList<FleetTerminal> &fleet)
{
    QList<QList<int>> groups;
    for (const Line &line : linesOf(fleet)) groups.append(line.members);
    return groups;
}

bool loadLinkSettings(const QString &settingsFile, LinkSettings &settings, QString &error)
{
    if (settingsFile.isEmpty() || !QFile::exists(settingsFile)) return true;
    if (!QFileInfo(settingsFile).isReadable()) {
        error = QStringLiteral("cannot read the link settings %1").arg(settingsFile);
        return false;
    }
    settings = LinkSettings::loadFile(settingsFile);
    return true;
}

void run(const QList<FleetTerminal> &fleet, const LineRunOptions &options,
         const std::function<std::unique_ptr<LineWork>()> &newWorker)
{
    const QList<Line> lines = linesOf(fleet);

    // The settings file is read once for every line.
    LinkSettings baseSettings;
    QString settingsError;
    loadLinkSettings(options.linkSettingsFile, baseSettings, settingsError);

    std::atomic<qsizetype> next{0};
    auto worker = [&] {
        const std::unique_ptr<LineWork> work = newWorker();
        for (qsizetype n = next++; n < lines.size(); n = next++) {
            const Line &line = lines[n];
            auto failLine = [&](const QString &error) {
                for (int i : line.members) work->unreached(i, error);
            };
            if (options.stopped()) {
                for (int i : line.members) work->notStarted(i);
                continue;
            }
            QString error;
            if (!work->beforeLine(error)) {
                failLine(error);
                continue;
            }
            LineLock lock;
            if (!lock.acquire(options.lockFolder, line.target.key(), options.lockWaitSeconds, error)) {
                failLine(error);
                continue;
            }
            if (!settingsError.isEmpty()) {
                failLine(settingsError);
                continue;
            }
            TerminalClient client(settingsFor(baseSettings, line.target));
            if (!openLine(client, line.target, error)) {
                failLine(error);
                continue;
            }
            bool failed = false;
            for (int i : line.members) {
                if (options.stopped())
                    work->notStarted(i);
                else
                    failed = !work->terminal(client, i) || failed;
            }
            client.close();
            work->afterLine(failed);
        }
    };
    const int workers = int(qBound(qsizetype(1), qsizetype(options.jobs), lines.size()));
    std::vector<std::thread> threads;
    threads.reserve(size_t(workers));
    for (int i = 0; i < workers; ++i) threads.emplace_back(worker);
    for (std::thread &t : threads) t.join();
}

}  // namespace LineRunner
