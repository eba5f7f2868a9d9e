// attctl sync of a simulated site: 64 terminals x 20,000 records over TCP loopback into SQLite and into
// PostgreSQL (a server of the benchmark's own), the second sync after 1% new punches, and attctl's
// peak memory. Baseline of the same run: the same records collected by `attctl collect --since 0`
// into files, as many at once as the sync's jobs, i.e. the link and the simulator without a database.
#include "child_memory.h"
#include "support/PgServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

namespace {

constexpr int Terminals = 64;
constexpr int Records = 20000;
constexpr int Jobs = 4;

QString binDir() { return QCoreApplication::applicationDirPath() + QStringLiteral("/.."); }
QString attctl() { return binDir() + QStringLiteral("/tools/attctl"); }

pid_t spawn(const QStringList &args, const QString &outPath) { return spawnWithOutput(attctl(), args, outPath); }

struct Run : ChildRun {
    qint64 records = 0;  // from the report's total
};

// One attctl run to its end: wall time, peak memory, exit status, and the "N new records" of its total.
Run runAttctl(const QStringList &args, const QString &outPath)
{
    Run r;
    static_cast<ChildRun &>(r) = runTrackingPeak(attctl(), args, outPath);
    if (r.seconds < 0) return r;
    QFile f(outPath);
    if (f.open(QIODevice::ReadOnly)) {
        const auto m = QRegularExpression(QStringLiteral("(\\d+) new records")).match(QString::fromUtf8(f.readAll()));
        if (m.hasMatch()) r.records = m.captured(1).toLongLong();
    }
    return r;
}

struct Fleet {
    QProcess process;
    QStringList hostPorts;

    bool start()
    {
        process.start(binDir() + QStringLiteral("/sim/attsim"),
                      {QStringLiteral("--fleet"), QString::number(Terminals), QStringLiteral("--records"),
                       QString::number(Records)});
        if (!process.waitForStarted(10000)) return false;
        while (process.waitForReadyRead(300000))
            while (process.canReadLine()) {
                const QString line = QString::fromUtf8(process.readLine()).trimmed();
                if (line.startsWith(QStringLiteral("ready fleet "))) hostPorts = line.mid(12).split(u' ');
                if (line.startsWith(QStringLiteral("ready tcp "))) return hostPorts.size() == Terminals;
            }
        return false;
    }
    // `perTerminal` new punches on every terminal, in before this returns.
    bool punch(int perTerminal)
    {
        QByteArray lines;
        for (int t = 1; t <= Terminals; ++t)
            for (int i = 0; i < perTerminal; ++i)
                lines += QStringLiteral("punch %1 %2\n").arg(0x00C00000 + i, 8, 16, QLatin1Char('0')).arg(t).toLatin1();
        // The lines outgrow the pipe: each waitForBytesWritten moves only what the pipe takes, so
        // wait until nothing is left. No "dump" to confirm: its answer would hold every record. A busy
        // machine may need a moment for the last lines; the report prints how many the second sync found.
        if (process.write(lines) != lines.size()) return false;
        while (process.bytesToWrite() > 0)
            if (!process.waitForBytesWritten(30000)) return false;
        QThread::msleep(2000);
        return true;
    }
    ~Fleet()
    {
        process.terminate();
        process.waitForFinished(10000);
    }
};

// The baseline: every terminal collected into files by attctl, Jobs at a time.
double collectAll(const Fleet &fleet, const QTemporaryDir &dir)
{
    QElapsedTimer t;
    t.start();
    int next = 0, running = 0;
    bool failed = false;
    while (next < Terminals || running > 0) {
        while (running < Jobs && next < Terminals) {
            const QString folder = dir.filePath(QStringLiteral("collect%1").arg(next));
            QDir().mkpath(folder);
            if (spawn({QStringLiteral("--tcp"), fleet.hostPorts[next], QStringLiteral("--address"),
                       QString::number(next + 1), QStringLiteral("collect"), QStringLiteral("--since"),
                       QStringLiteral("0"), QStringLiteral("--dir"), folder},
                      folder + QStringLiteral("/out.txt"))
                < 0)
                return -1;
            ++next;
            ++running;
        }
        int status = 0;
        if (::wait(&status) < 0) break;
        --running;
        failed = failed || !WIFEXITED(status) || WEXITSTATUS(status) != 0;
    }
    return failed ? -1 : t.nsecsElapsed() / 1e9;
}

void report(const char *what, const Run &first, const Run &second, double baseline, double goalRate)
{
    const double rate = first.records / first.seconds;
    std::printf("%s: first sync %lld records in %.2f s = %.0f records/s (goal >= %.0f: %s), %.2fx the baseline\n", what,
                first.records, first.seconds, rate, goalRate, rate >= goalRate ? "met" : "MISSED",
                first.seconds / baseline);
    std::printf("%s: second sync after 1%% new, %lld records in %.3f s = %.1f%% of the first (goal <= 5%%: %s)\n", what,
                second.records, second.seconds, 100.0 * second.seconds / first.seconds,
                second.seconds <= 0.05 * first.seconds ? "met" : "MISSED");
    std::printf("%s: peak RSS of attctl sync %.1f MB (goal <= 64 MB: %s)\n", what, qMax(first.peakMB, second.peakMB),
                qMax(first.peakMB, second.peakMB) <= 64 ? "met" : "MISSED");
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    Fleet fleet;
    if (!dir.isValid() || !fleet.start()) {
        std::fprintf(stderr, "cannot start attsim --fleet %d\n", Terminals);
        return 2;
    }
    std::printf("fleet: %d terminals x %d records, attctl sync --jobs %d, TCP loopback\n", Terminals, Records, Jobs);
    const double baseline = collectAll(fleet, dir);
    if (baseline <= 0) {
        std::fprintf(stderr, "the baseline collection failed\n");
        return 2;
    }
    std::printf(
        "baseline: attctl collect --since 0 of every terminal into files, %d at once: %.2f s = %.0f records/s\n", Jobs,
        baseline, double(Terminals) * Records / baseline);

    const QString fleetFile = dir.filePath(QStringLiteral("fleet.ini"));
    {
        QFile f(fleetFile);
        if (!f.open(QIODevice::WriteOnly)) return 2;
        for (int i = 0; i < Terminals; ++i)
            f.write(QStringLiteral("[t%1]\nline = tcp:%2\naddress = %3\n")
                        .arg(i + 1)
                        .arg(fleet.hostPorts[i])
                        .arg(i + 1)
                        .toUtf8());
    }
    auto sync = [&](const QString &db, const QString &name) {
        return runAttctl({QStringLiteral("sync"), QStringLiteral("--fleet"), fleetFile, QStringLiteral("--db"), db,
                          QStringLiteral("--jobs"), QString::number(Jobs), QStringLiteral("--lock-dir"),
                          dir.filePath(QStringLiteral("locks"))},
                         dir.filePath(name));
    };

    const QString sqlite = QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("punches.sqlite"));
    const Run s1 = sync(sqlite, QStringLiteral("s1.txt"));
    if (!fleet.punch(Records / 100)) return 2;
    const Run s2 = sync(sqlite, QStringLiteral("s2.txt"));
    if (s1.status != 0 || s2.status != 0) {
        std::fprintf(stderr, "sync into SQLite failed (%d, %d)\n", s1.status, s2.status);
        return 2;
    }
    report("SQLite", s1, s2, baseline, 500000);

    PgServer pg;
    if (!pg.start()) {
        std::fprintf(stderr, "%s\n", qPrintable(pg.errorText()));
        return 2;
    }
    const QString postgres = pg.createDatabase(QStringLiteral("bench"));
    const Run p1 = sync(postgres, QStringLiteral("p1.txt"));
    if (!fleet.punch(Records / 100)) return 2;
    const Run p2 = sync(postgres, QStringLiteral("p2.txt"));
    if (p1.status != 0 || p2.status != 0) {
        std::fprintf(stderr, "sync into PostgreSQL failed (%d, %d)\n", p1.status, p2.status);
        return 2;
    }
    report("PostgreSQL", p1, p2, baseline, 200000);
    return 0;
}
