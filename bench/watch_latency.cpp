// attctl watch: the time from a terminal storing a punch to its JSON line on watch's standard output,
// for 64 terminals over TCP loopback each punching 5 times a second into SQLite and into a PostgreSQL
// server of the benchmark's own, and for one terminal on attsim's pty at 9600 baud (polled); watch's CPU
// (share of one core) and peak RSS over each run. A punch is made by a control line to attsim that
// carries the punch's number as its card, so the time also holds the pipe to attsim (baseline: the
// same pipe's round trip, a `dump` of an empty simulator answered).
#include "child_memory.h"
#include "support/PgServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace {

QString binDir() { return QCoreApplication::applicationDirPath() + QStringLiteral("/.."); }

struct Sim {
    QProcess process;
    QStringList targets;  // "tcp:HOST:PORT" or "serial:PATH,BAUD", one a terminal in address order
    bool start(const QStringList &args, const QString &pty = {})
    {
        process.start(binDir() + QStringLiteral("/sim/attsim"), args);
        if (!process.waitForStarted(10000)) return false;
        while (process.waitForReadyRead(30000))
            while (process.canReadLine()) {
                const QString line = QString::fromUtf8(process.readLine()).trimmed();
                if (line.startsWith(QStringLiteral("ready fleet ")))
                    for (const QString &hp : line.mid(12).split(u' ')) targets << QStringLiteral("tcp:") + hp;
                if (line.startsWith(QStringLiteral("ready pty "))) {
                    targets << QStringLiteral("serial:%1,9600").arg(pty);
                    return true;
                }
                if (line.startsWith(QStringLiteral("ready tcp "))) return !targets.isEmpty();
            }
        return false;
    }
    ~Sim()
    {
        process.terminate();
        process.waitForFinished(10000);
    }
};

qint64 cpuTicks(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    const QByteArray s = f.readAll();
    const QList<QByteArray> fields = s.mid(s.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 13 ? fields[11].toLongLong() + fields[12].toLongLong() : 0;  // utime + stime
}

struct Figures {
    double p50 = -1, p99 = -1, max = -1, cpuPercent = -1, peakMB = 0;
    int punches = 0, received = 0;
};

double percentile(std::vector<double> v, double p)
{
    if (v.empty()) return -1;
    std::sort(v.begin(), v.end());
    return v[size_t(std::min<double>(double(v.size() - 1), p * double(v.size())))];
}

// Runs watch over `sim`'s terminals into `db`, `perSecond` punches a second on each for `seconds`.
Figures measure(Sim &sim, const QString &db, int perSecond, int seconds, QTemporaryDir &dir)
{
    Figures f;
    QString fleet;
    for (int i = 0; i < sim.targets.size(); ++i)
        fleet += QStringLiteral("[t%1]\nline = %2\naddress = %3\n\n")
                     .arg(i + 1)
                     .arg(sim.targets[i])
                     .arg(sim.targets[i].startsWith(QLatin1String("serial")) ? 105 : i + 1);
    const QString fleetPath = dir.filePath(QStringLiteral("fleet.ini"));
    QFile out(fleetPath);
    if (!out.open(QIODevice::WriteOnly)) return f;
    out.write(fleet.toUtf8());
    out.close();
    QProcess watch;
    watch.start(binDir() + QStringLiteral("/tools/attctl"),
                {QStringLiteral("watch"), QStringLiteral("--fleet"), fleetPath, QStringLiteral("--db"), db,
                 QStringLiteral("--jsonl"), QStringLiteral("--lock-dir"), dir.filePath(QStringLiteral("locks"))});
    if (!watch.waitForStarted(10000)) return f;
    QThread::msleep(3000);  // connected, caught up and subscribed
    const qint64 pid = watch.processId();
    std::vector<qint64> sentAt;
    std::vector<double> latency;
    QElapsedTimer clock;
    clock.start();
    const qint64 ticksBefore = cpuTicks(pid);
    const int terminals = int(sim.targets.size());
    const qint64 total = qint64(perSecond) * seconds * terminals;
    const double gapNs = 1e9 / (double(perSecond) * terminals);
    QByteArray pending;
    auto readLines = [&] {
        pending += watch.readAllStandardOutput();
        for (qsizetype nl; (nl = pending.indexOf('\n')) >= 0; pending.remove(0, nl + 1)) {
            const QJsonObject o = QJsonDocument::fromJson(pending.left(nl)).object();
            const qint64 n = o.value(QStringLiteral("card_hex")).toString().toLongLong(nullptr, 16) - 0x10000000;
            if (n >= 0 && n < qint64(sentAt.size())) latency.push_back((clock.nsecsElapsed() - sentAt[size_t(n)]) / 1e6);
        }
    };
    for (qint64 n = 0; n < total; ++n) {
        while (clock.nsecsElapsed() < qint64(double(n) * gapNs)) {
            watch.waitForReadyRead(1);
            readLines();
        }
        sentAt.push_back(clock.nsecsElapsed());
        sim.process.write(QStringLiteral("punch %1 %2\n")
                              .arg(0x10000000 + n, 8, 16, QLatin1Char('0'))
                              .arg(terminals == 1 ? 105 : int(n % terminals) + 1)
                              .toLatin1());
        sim.process.waitForBytesWritten(0);
    }
    for (QElapsedTimer wait; latency.size() < size_t(total);) {
        if (!wait.isValid()) wait.start();
        if (wait.elapsed() > 10000) break;
        watch.waitForReadyRead(50);
        readLines();
    }
    const double elapsedS = clock.nsecsElapsed() / 1e9;
    f.cpuPercent = double(cpuTicks(pid) - ticksBefore) / double(sysconf(_SC_CLK_TCK)) / elapsedS * 100.0;
    f.peakMB = peakResidentMB(pid);
    watch.terminate();
    watch.waitForFinished(30000);
    f.punches = int(total);
    f.received = int(latency.size());
    f.p50 = percentile(latency, 0.50);
    f.p99 = percentile(latency, 0.99);
    f.max = percentile(latency, 1.0);
    return f;
}

void report(const char *what, const Figures &f, const char *goal)
{
    std::printf("%-44s p50 %6.1f ms  p99 %6.1f ms  max %6.1f ms  CPU %5.1f%%  peak RSS %5.1f MB  (%d/%d lines)  goal: %s\n",
                what, f.p50, f.p99, f.max, f.cpuPercent, f.peakMB, f.received, f.punches, goal);
}

// The pipe to attsim and back: a `dump` of a simulator with nothing to say, median of 50.
double pipeRoundTripMs(Sim &sim)
{
    std::vector<double> v;
    for (int i = 0; i < 50; ++i) {
        QElapsedTimer t;
        t.start();
        sim.process.write("dump\n");
        while (!sim.process.canReadLine() && sim.process.waitForReadyRead(5000)) {
        }
        sim.process.readLine();
        v.push_back(t.nsecsElapsed() / 1e6);
    }
    return percentile(v, 0.5);
}

}  // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 30;
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath(QStringLiteral("locks")));
    QFile::setPermissions(dir.filePath(QStringLiteral("locks")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    {
        Sim sim;
        if (!sim.start({QStringLiteral("--fleet"), QStringLiteral("64")})) return 1;
        std::printf("pipe to attsim and back (baseline): %.2f ms\n", pipeRoundTripMs(sim));
        report("64 terminals x 5/s over TCP, SQLite", measure(sim, QStringLiteral("sqlite:") + dir.filePath("w.sqlite"), 5, seconds, dir),
               "p50 <= 5, p99 <= 20, CPU <= 10%, RSS <= 40 MB");
    }
    {
        PgServer pg;
        Sim sim;
        const QString url = pg.start() ? pg.createDatabase(QStringLiteral("bench")) : QString();
        if (url.isEmpty() || !sim.start({QStringLiteral("--fleet"), QStringLiteral("64")}))
            std::printf("PostgreSQL: not measured (%s)\n", qPrintable(pg.errorText()));
        else
            report("64 terminals x 5/s over TCP, PostgreSQL", measure(sim, url, 5, seconds, dir), "p99 <= 30");
    }
    {
        Sim sim;
        const QString pty = dir.filePath(QStringLiteral("tty"));
        if (sim.start({QStringLiteral("--pty"), pty, QStringLiteral("--baud"), QStringLiteral("9600")}, pty))
            report("1 terminal on a pty at 9600 baud (polled)",
                   measure(sim, QStringLiteral("sqlite:") + dir.filePath("p.sqlite"), 2, seconds, dir), "p99 <= 300");
    }
    return 0;
}
