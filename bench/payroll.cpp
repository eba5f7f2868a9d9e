// Payroll's side of the database, on SQLite files built here: the time index's cost on a first sync,
// a one-day export out of a small and a large history, a whole export against the sqlite3 shell writing
// the same rows, the daily report for 5,000 cards over a month, and a push to a loopback endpoint.
//   bench_payroll [--large N] [--small N] [--dir DIR]   (defaults 20,000,000 and 2,000,000 punches;
//   the databases in a temporary folder, or in DIR, kept, where a later run takes them as they are)
#include "child_memory.h"
#include "support/HttpSink.h"
#include "sync/Database.h"
#include "sync/PunchStore.h"
#include "sync/Schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <sys/resource.h>

namespace {

constexpr int Terminals = 64;
constexpr int PerDay = 115200;  // punches of the whole fleet a day
constexpr quint64 FirstDay = 20260101000000;

QString binDir() { return QCoreApplication::applicationDirPath() + QStringLiteral("/.."); }

// CPU seconds (user and system) of this process, or of its children that have ended.
double cpuSeconds(int who)
{
    rusage u{};
    getrusage(who, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// A run's wall time, and its CPU time: on a machine shared with other work the CPU time shows the
// program's own cost, the wall time what the machine gave it.
struct Run {
    double seconds = -1, cpu = 0, peakMB = 0;
    int status = -1;
    QByteArray out;
};

Run runProgram(const QString &program, const QStringList &args, const QString &outFile = QString())
{
    Run r;
    QProcess p;
    if (!outFile.isEmpty()) p.setStandardOutputFile(outFile);
    QElapsedTimer t;
    t.start();
    const double cpuBefore = cpuSeconds(RUSAGE_CHILDREN);
    p.start(program, args);
    if (!p.waitForStarted()) return r;
    while (!p.waitForFinished(5)) r.peakMB = qMax(r.peakMB, peakResidentMB(p.processId()));
    r.seconds = t.nsecsElapsed() / 1e9;
    r.cpu = cpuSeconds(RUSAGE_CHILDREN) - cpuBefore;
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput() + p.readAllStandardError();
    return r;
}

// The best of `rounds` runs (the machine is shared; the best shows the program, not the neighbours).
Run best(int rounds, const std::function<Run()> &run)
{
    Run b;
    for (int i = 0; i < rounds; ++i) {
        const Run r = run();
        if (r.status != 0) return r;
        if (b.seconds < 0 || r.cpu < b.cpu) b = r;
    }
    return b;
}

// `total` punches of 64 terminals, 115,200 a day from 2026-01-01 (06:00 to 22:00), `cards` cards.
// Returns the CPU seconds the stores took, as a first sync of the whole history would; -1 on failure.
double fill(const QString &url, qint64 total, int cards, bool timeIndex, int perDay = PerDay)
{
    if (QFile::exists(url.mid(7))) return 0;  // kept from an earlier run
    QString error;
    auto db = Database::open(*DatabaseUrl::parse(url, error), error);
    if (!db || !Schema::migrate(*db, error)
        || (!timeIndex && !db->exec(QStringLiteral("DROP INDEX punches_at"), error))) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return -1;
    }
    PunchStore store(*db);
    const qint64 each = total / Terminals, perTerminalDay = perDay / Terminals;
    const qint64 spacing = 16 * 3600 / perTerminalDay;
    const double cpuBefore = cpuSeconds(RUSAGE_SELF);
    for (int terminal = 0; terminal < Terminals; ++terminal) {
        TerminalFacts f;
        f.identity = QStringLiteral("T%1").arg(terminal, 2, 10, QLatin1Char('0'));
        f.name = f.identity;
        f.timezone = QStringLiteral("Asia/Shanghai");
        f.syncedAt = QDateTime::currentDateTime();
        qint64 n = 0, inserted = 0;
        const qint64 start = PunchTime::secondsOf(FirstDay) + 6 * 3600 + terminal;
        const bool ok = store.store(
            f,
            [&](Punch &p, QString &) {
                if (n == each) return false;
                p = Punch{};
                p.serial = quint64(++n);
                p.card = uint32_t((quint64(n) * 2654435761u + quint64(terminal) * 40503u) % quint64(cards) + 1);
                p.stamp =
                    PunchTime::stampAt(start + (n - 1) / perTerminalDay * 86400 + (n - 1) % perTerminalDay * spacing);
                return true;
            },
            quint64(each), inserted, error, false);
        if (!ok) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return -1;
        }
    }
    return cpuSeconds(RUSAGE_SELF) - cpuBefore;
}

QString argument(const QString &name, const QString &fallback)
{
    const QStringList args = QCoreApplication::arguments();
    const qsizetype i = args.indexOf(name);
    return i > 0 && i + 1 < args.size() ? args[i + 1] : fallback;
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const qint64 large = argument(QStringLiteral("--large"), QStringLiteral("20000000")).toLongLong();
    const qint64 small = argument(QStringLiteral("--small"), QStringLiteral("2000000")).toLongLong();
    QTemporaryDir temporary;
    const QString kept = argument(QStringLiteral("--dir"), QString());
    const QDir dir(kept.isEmpty() ? temporary.path() : kept);
    const QString attctl = binDir() + QStringLiteral("/tools/attctl");
    auto sqlite = [&](const QString &name) { return QStringLiteral("sqlite:") + dir.filePath(name); };

    // 1. The index's cost on a first sync: the same stores with and without it.
    const double raw = fill(sqlite(QStringLiteral("raw.sqlite")), small, 5000, false);
    const double indexed = fill(sqlite(QStringLiteral("small.sqlite")), small, 5000, true);
    if (raw < 0 || indexed < 0) return 2;
    std::printf(
        "first sync of %lld punches: %.0f punches/s with the time index, %.0f without (the raw-insert ceiling): "
        "%.0f%% (goal >= 80%%: %s)\n",
        small, small / indexed, small / raw, 100 * raw / indexed, raw / indexed >= 0.8 ? "met" : "MISSED");
    const double largeSeconds = fill(sqlite(QStringLiteral("large.sqlite")), large, 5000, true);
    if (largeSeconds < 0) return 2;
    std::printf("first sync of %lld punches with the time index: %.1f CPU s = %.0f punches/s\n", large, largeSeconds,
                large / largeSeconds);
    for (const QString &name : {QStringLiteral("small.sqlite"), QStringLiteral("large.sqlite")})
        std::printf("%s: %.0f MB\n", qPrintable(name), QFile(dir.filePath(name)).size() / 1e6);

    // 2. One day (115,200 punches) out of both histories.
    const QString day = QStringLiteral("2026-01-10");
    double daySeconds[2] = {};
    for (int i = 0; i < 2; ++i) {
        const QString db = sqlite(i ? QStringLiteral("large.sqlite") : QStringLiteral("small.sqlite"));
        const Run r = best(5, [&] {
            return runProgram(attctl,
                              {QStringLiteral("export"), QStringLiteral("--db"), db, QStringLiteral("--from"), day,
                               QStringLiteral("--to"), day, QStringLiteral("--out"),
                               dir.filePath(QStringLiteral("day.csv"))});
        });
        if (r.status != 0) return 2;
        daySeconds[i] = r.cpu;
        std::printf("one-day export out of %lld punches: %.3f s CPU, %.3f s wall (goal <= 0.25 s: %s) %s",
                    i ? large : small, r.cpu, r.seconds, r.cpu <= 0.25 ? "met" : "MISSED", r.out.constData());
    }
    std::printf("one-day export, large history / small: %.2f\n", daySeconds[1] / daySeconds[0]);

    // 3. A whole export against the sqlite3 shell writing the same rows in the same order.
    const QString smallFile = dir.filePath(QStringLiteral("small.sqlite"));
    const QString shellSql = QStringLiteral(
        "SELECT t.name, t.identity, p.serial, printf('%010d', p.card), printf('%08X', p.card), replace(p.at, ' ', 'T'), p.flag "
        "FROM punches p JOIN terminals t ON t.id = p.terminal_id ORDER BY p.at, t.identity, p.serial");
    for (int round = 0; round < 1; ++round) {
        const Run ours = best(3, [&] {
            return runProgram(attctl,
                              {QStringLiteral("export"), QStringLiteral("--db"), sqlite(QStringLiteral("small.sqlite")),
                               QStringLiteral("--out"), dir.filePath(QStringLiteral("all.csv"))});
        });
        const Run shell = best(3, [&] {
            return runProgram(QStringLiteral("sqlite3"), {QStringLiteral("-csv"), smallFile, shellSql},
                              dir.filePath(QStringLiteral("shell.csv")));
        });
        if (ours.status != 0 || shell.status != 0) return 2;
        std::printf(
            "whole export of %lld punches (CPU): attctl %.0f rows/s, sqlite3 -csv %.0f rows/s: %.2fx (goal >= 1: %s); "
            "wall %.2f s and %.2f s\n",
            small, small / ours.cpu, small / shell.cpu, shell.cpu / ours.cpu, ours.cpu <= shell.cpu ? "met" : "MISSED",
            ours.seconds, shell.seconds);
    }

    // 4. The daily report: 5,000 cards, two punches a working day for a month, about 200,000 punches.
    const QString monthDb = sqlite(QStringLiteral("month.sqlite"));
    if (fill(monthDb, 200000, 5000, true, 6400) < 0) return 2;
    const Run report = best(5, [&] {
        return runProgram(attctl,
                          {QStringLiteral("report"), QStringLiteral("daily"), QStringLiteral("--db"), monthDb,
                           QStringLiteral("--from"), QStringLiteral("2026-01-01"), QStringLiteral("--to"),
                           QStringLiteral("2026-01-31"), QStringLiteral("--out"),
                           dir.filePath(QStringLiteral("daily.csv"))});
    });
    if (report.status != 0) return 2;
    std::printf("daily report of 200,000 punches, 5,000 cards, a month: %.3f s CPU, %.3f s wall (goal <= 1 s: %s)\n",
                report.cpu, report.seconds, report.cpu <= 1 ? "met" : "MISSED");

    // 5. A push of 1,000,000 punches to a loopback endpoint in batches of 1,000.
    const QString pushDb = sqlite(QStringLiteral("push.sqlite"));
    if (fill(pushDb, 1000000, 5000, true) < 0) return 2;
    HttpSink sink(false);
    if (!sink.start()) return 2;
    const Run push = runProgram(attctl,
                                {QStringLiteral("push"), QStringLiteral("--to"), sink.url(), QStringLiteral("--db"),
                                 pushDb, QStringLiteral("--batch"), QStringLiteral("1000")});
    if (push.status != 0) {
        std::fprintf(stderr, "push failed: %s\n", push.out.constData());
        return 2;
    }
    std::printf(
        "push of 1,000,000 punches, batches of 1,000: %.2f s wall = %.0f punches/s (goal >= 100,000: %s), attctl's CPU "
        "%.2f s = %.0f punches/s; %lld requests, %.0f MB; peak RSS %.1f MB (goal <= 40 MB: %s)\n",
        push.seconds, 1e6 / push.seconds, 1e6 / push.seconds >= 100000 ? "met" : "MISSED", push.cpu, 1e6 / push.cpu,
        sink.requestCount(), sink.bodyBytes() / 1e6, push.peakMB, push.peakMB <= 40 ? "met" : "MISSED");
    return 0;
}
