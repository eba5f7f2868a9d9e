// attctl roster apply of a list of 5,000 cards: into 64 empty terminals of attsim over TCP loopback
// (--jobs 4), plan + apply after 1% of the cards changed as a share of that full load, attctl's peak
// memory, and the same list into one terminal on attsim's pty at 115200 baud set against the line
// time of the entries' bytes.
#include "bench_sim.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int Terminals = 64;
constexpr int Cards = 5000;
constexpr int Baud = 115200;

// The list: card i with an 8-digit job number and a name of three Chinese characters; `renamed`
// cards (every 100th) get another name. Its entries' bytes in an IssueCards request are returned.
qint64 writeList(const QString &path, bool renamed)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return -1;
    QByteArray text = "card,job_number,name\n";
    qint64 entryBytes = 0;
    for (int i = 0; i < Cards; ++i) {
        const QString name = (renamed && i % 100 == 0 ? QStringLiteral("新员工") : QStringLiteral("王小明"));
        text += QStringLiteral("%1,%2,%3\n")
                    .arg(0x00D00000 + i, 8, 16, QLatin1Char('0'))
                    .arg(i + 1, 8, 10, QLatin1Char('0'))
                    .arg(name)
                    .toUtf8();
        entryBytes += 4 + 1 + 4 + 1 + 6;  // card, digits mark, job number as a number, name length, 3 x 2 bytes
    }
    return f.write(text) == text.size() ? entryBytes : -1;
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    BenchSim fleet;
    if (!dir.isValid() || !fleet.start({QStringLiteral("--fleet"), QString::number(Terminals)})) {
        std::fprintf(stderr, "cannot start attsim --fleet %d\n", Terminals);
        return 2;
    }
    const QStringList &ports = fleet.fleet;
    const QString fleetFile = dir.filePath(QStringLiteral("fleet.ini"));
    {
        QFile f(fleetFile);
        if (ports.size() != Terminals || !f.open(QIODevice::WriteOnly)) return 2;
        for (int i = 0; i < Terminals; ++i)
            f.write(
                QStringLiteral("[t%1]\nline = tcp:%2\naddress = %3\n").arg(i + 1).arg(ports[i]).arg(i + 1).toUtf8());
    }
    const QString list = dir.filePath(QStringLiteral("cards.csv")),
                  changed = dir.filePath(QStringLiteral("changed.csv"));
    const qint64 entryBytes = writeList(list, false);
    if (entryBytes < 0 || writeList(changed, true) < 0) return 2;
    auto roster = [&](const QString &verb, const QString &fleetPath, const QString &from, const QString &out) {
        return runTrackingPeak(binDir() + QStringLiteral("/tools/attctl"),
                               {QStringLiteral("roster"), verb, QStringLiteral("--fleet"), fleetPath,
                                QStringLiteral("--from"), from, QStringLiteral("--jobs"), QStringLiteral("4"),
                                QStringLiteral("--lock-dir"), dir.filePath(QStringLiteral("locks"))},
                               dir.filePath(out));
    };

    std::printf("fleet: %d empty terminals, a list of %d cards, attctl roster apply --jobs 4, TCP loopback\n",
                Terminals, Cards);
    const ChildRun full = roster(QStringLiteral("apply"), fleetFile, list, QStringLiteral("full.txt"));
    const ChildRun plan = roster(QStringLiteral("plan"), fleetFile, changed, QStringLiteral("plan.txt"));
    const ChildRun apply = roster(QStringLiteral("apply"), fleetFile, changed, QStringLiteral("apply.txt"));
    if (full.status != 0 || plan.status != 0 || apply.status != 0) {
        std::fprintf(stderr, "roster apply or plan failed (%d, %d, %d)\n", full.status, plan.status, apply.status);
        return 2;
    }
    std::printf("full load: %d entries in %.2f s = %.0f entries/s (goal <= 2 s: %s)\n", Terminals * Cards, full.seconds,
                Terminals * Cards / full.seconds, full.seconds <= 2 ? "met" : "MISSED");
    const double again = plan.seconds + apply.seconds;
    std::printf("after 1%% changed: plan %.3f s + apply %.3f s = %.1f%% of the full load (goal <= 5%%: %s)\n",
                plan.seconds, apply.seconds, 100 * again / full.seconds,
                again <= 0.05 * full.seconds ? "met" : "MISSED");
    const double peak = qMax(full.peakMB, qMax(plan.peakMB, apply.peakMB));
    std::printf("peak RSS of attctl roster apply %.1f MB (goal <= 40 MB: %s)\n", peak, peak <= 40 ? "met" : "MISSED");

    BenchSim serial;
    const QString pty = dir.filePath(QStringLiteral("ttySIM"));
    if (!serial.start({QStringLiteral("--baud"), QString::number(Baud)}, pty)) return 2;
    const QString serialFleet = dir.filePath(QStringLiteral("serial.ini"));
    {
        QFile f(serialFleet);
        if (!f.open(QIODevice::WriteOnly)) return 2;
        f.write(QStringLiteral("[pty]\nline = serial:%1,%2\naddress = 105\n").arg(pty).arg(Baud).toUtf8());
    }
    const ChildRun paced = roster(QStringLiteral("apply"), serialFleet, list, QStringLiteral("serial.txt"));
    if (paced.status != 0) {
        std::fprintf(stderr, "roster apply over the pty failed (%d)\n", paced.status);
        return 2;
    }
    const double lineTime = entryBytes * 10.0 / Baud;
    std::printf(
        "pty at %d baud: %d entries (%lld bytes, %.2f s on the line) in %.2f s = %.2fx the line time (goal <= 1.5x: %s)\n",
        Baud, Cards, entryBytes, lineTime, paced.seconds, paced.seconds / lineTime,
        paced.seconds <= 1.5 * lineTime ? "met" : "MISSED");
    return 0;
}
