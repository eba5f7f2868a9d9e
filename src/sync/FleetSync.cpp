#include "sync/FleetSync.h"

#include "attlink/LinkSettings.h"
#include "attlink/TerminalClient.h"
#include "link/PortFailureText.h"
#include "sync/Database.h"
#include "sync/LineLock.h"
#include "sync/PunchSpool.h"
#include "sync/PunchStore.h"
#include "sync/SyncLog.h"
#include "sync/TerminalNotes.h"
#include "sync/TerminalSync.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>

#include <atomic>
#include <memory>
#include <optional>
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
    qCInfo(syncLog).noquote() << QStringLiteral("line %1: %2").arg(line.text(), r.ok() ? QStringLiteral("open") : r.errorString());
    if (r.ok()) return true;
    if (line.kind == LineTarget::Tcp) {
        error = QStringLiteral("cannot connect to %1: %2").arg(line.text(), client.connectFailure());
        return false;
    }
    const PortFailure &failure = client.portFailure();
    error = QStringLiteral("cannot open ") + (failure.any() ? QStringLiteral("serial:") + portFailureText(failure) : line.text());
    return false;
}

// The user's link settings (defaults when there is no file); the reason when the file cannot be read.
QString loadSettings(const QString &file, LinkSettings &settings)
{
    if (file.isEmpty() || !QFile::exists(file)) return {};
    if (!QFileInfo(file).isReadable()) return QStringLiteral("cannot read the link settings %1").arg(file);
    settings = LinkSettings::loadFile(file);
    return {};
}

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

}  // namespace

FleetSync::FleetSync(QList<FleetTerminal> fleet, SyncOptions options, bool useDatabase)
    : fleet_(std::move(fleet)), options_(std::move(options)), useDatabase_(useDatabase)
{
}

QList<TerminalResult> FleetSync::run(const ResultHandler &onResult) const
{
    const QList<Line> lines = linesOf(fleet_);
    OrderedResults results(fleet_.size(), onResult);
    auto finish = [&](int index, TerminalResult r) { results.finish(index, std::move(r)); };
    auto notStarted = [&](int i) { finish(i, failed(fleet_[i], QStringLiteral("not started, the sync was stopped"), false)); };
    QMutex sqliteWrites;
    auto failLine = [&](const Line &line, const QString &error, Database *db = nullptr) {
        for (int i : line.members) {
            TerminalResult r = failed(fleet_[i], error);
            if (db && !options_.dryRun) noteFailure(*db, r, sqliteWrites);
            finish(i, std::move(r));
        }
    };

    LinkSettings baseSettings;  // read once for every line
    const QString settingsError = loadSettings(options_.linkSettingsFile, baseSettings);

    std::atomic<qsizetype> next{0};
    auto worker = [&] {
        std::unique_ptr<Database> db;
        std::unique_ptr<PunchStore> store;
        QString dbError;
        PunchSpool spool;
        for (qsizetype n = next++; n < lines.size(); n = next++) {
            const Line &line = lines[n];
            if (options_.stopped()) {
                for (int i : line.members) notStarted(i);
                continue;
            }
            if (useDatabase_ && !db && dbError.isEmpty()) {
                db = Database::open(options_.database, dbError, options_.lockWaitSeconds);
                if (db) store = std::make_unique<PunchStore>(*db);
                if (store && !db->postgres()) store->setWriteGate(&sqliteWrites);
            }
            if (useDatabase_ && !db) {
                failLine(line, dbError);
                dbError.clear();  // the next line tries again: the server may be back
                continue;
            }
            LineLock lock;
            QString error;
            if (!lock.acquire(options_.lockFolder, line.target.key(), options_.lockWaitSeconds, error)) {
                failLine(line, error, db.get());
                continue;
            }
            if (!settingsError.isEmpty()) {
                failLine(line, settingsError, db.get());
                continue;
            }
            TerminalClient client(settingsFor(baseSettings, line.target));
            if (!openLine(client, line.target, error)) {
                failLine(line, error, db.get());
                continue;
            }
            bool failed = false;
            for (int i : line.members) {
                if (options_.stopped()) {
                    notStarted(i);
                    continue;
                }
                TerminalResult r = syncTerminal(client, fleet_[i], store.get(), spool, options_);
                if (!r.ok() && store && !options_.dryRun) noteFailure(*db, r, sqliteWrites);
                failed = failed || !r.ok();
                finish(i, std::move(r));
            }
            client.close();
            if (failed) {
                // A fresh connection for the next line, in case this one's database session broke.
                store.reset();
                db.reset();
            }
        }
    };
    const int workers = int(qBound(qsizetype(1), qsizetype(options_.jobs), lines.size()));
    std::vector<std::thread> threads;
    threads.reserve(size_t(workers));
    for (int i = 0; i < workers; ++i) threads.emplace_back(worker);
    for (std::thread &t : threads) t.join();
    return results.all();
}
