#pragma once

// Shared by the link benchmarks: attsim and attctl as child processes, one timed collection through
// our device link with both record files written, and a process's peak memory.
#include "child_memory.h"
#include "attctl/FormattedStream.h"
#include "attlink/AttLink.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <optional>
#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>
#include <sys/wait.h>

inline QString binDir() { return QCoreApplication::applicationDirPath() + QStringLiteral("/.."); }

struct BenchSim {
    QProcess process;
    QString host, port;

    // Starts attsim with `args` on a free port, and on a pty linked at `pty` when given; false when it
    // does not report ready.
    bool start(const QStringList &args, const QString &pty = {})
    {
        QStringList all = args + QStringList{QStringLiteral("--tcp"), QStringLiteral("127.0.0.1:0")};
        if (!pty.isEmpty()) all << QStringLiteral("--pty") << pty;
        process.start(binDir() + QStringLiteral("/sim/attsim"), all);
        if (!process.waitForStarted(10000)) return false;
        bool tcpReady = false, ptyReady = pty.isEmpty();
        while (process.waitForReadyRead(120000)) {
            while (process.canReadLine()) {
                const QString line = QString::fromUtf8(process.readLine()).trimmed();
                if (line.startsWith(QStringLiteral("ready tcp "))) {
                    const QString hp = line.mid(10);
                    host = hp.left(hp.lastIndexOf(u':'));
                    port = hp.mid(hp.lastIndexOf(u':') + 1);
                    tcpReady = true;
                }
                if (line.startsWith(QStringLiteral("ready pty "))) ptyReady = true;
                if (tcpReady && ptyReady) return true;
            }
        }
        return false;
    }
    // The simulator's peak resident memory so far, in MB.
    double peakMB() const { return peakResidentMB(process.processId()); }
    ~BenchSim()
    {
        process.terminate();
        process.waitForFinished(5000);
    }
};

struct Collection {
    qint32 records = 0;
    double seconds = 0;
    qint64 lineBytes = 0;     // both directions
    qint64 repliedBytes = 0;  // terminal to link
    qint64 turnArounds = 0;   // requests
    double bytesPerRecord() const { return records ? double(lineBytes) / records : 0; }
};

// One GatherData from the simulator into a temporary folder, the formatted file written alongside as
// attctl collect does: over TCP at host:port, or over the serial line `pty` when given. `baud` tells
// the link the line's rate (its requests and reply deadlines follow it); 0 for TCP's own pace.
inline std::optional<Collection> collectOnce(const QString &host, const QString &port, int baud,
                                             const QString &pty = {})
{
    QTemporaryDir dir;
    {
        QFile ini(dir.filePath(QStringLiteral("AttLink.ini")));
        if (!ini.open(QIODevice::WriteOnly)) return std::nullopt;
        ini.write(QStringLiteral("[Serial]\nBaud=%1\n").arg(baud > 0 ? baud : 230400).toLatin1());
        if (!pty.isEmpty()) ini.write("[Ports]\nCom1=" + pty.toLocal8Bit() + "\n");
    }
    AttLink link(dir.path());
    if (pty.isEmpty()) {
        link.Mode(1);
        if (!link.Connect_Net(host, port).toBool()) return std::nullopt;
    } else {
        link.Mode(0);
        QVariant com = 1;
        if (!link.SetPort(com).toBool()) return std::nullopt;
    }
    QString message;
    Collection c;
    bool fullYear = false;
    RecordLayout layout = RecordLayout::defaults();
    layout.separators = {"", ",", ",", "-", "-", " ", ":", ":", ""};
    FormattedStream formatted(dir.filePath(QStringLiteral("DataRecordSet.txt")), layout);
    QElapsedTimer t;
    t.start();
    if (!formatted.open()) return std::nullopt;
    link.setRawLinesObserver([&](const QByteArray &lines) { return formatted.add(lines); });
    const bool ok = link.GatherData(QStringLiteral("105"), dir.path(), QStringLiteral("DataRecordSet_original.txt"),
                                    message, c.records, QStringLiteral("2"), 0, fullYear)
                        .toBool()
        && formatted.commit();
    c.seconds = t.nsecsElapsed() / 1e9;
    if (!ok) {
        std::fprintf(stderr, "collection failed: %s\n", message.toUtf8().constData());
        return std::nullopt;
    }
    const Exchange &x = link.exchangeStats();
    c.lineBytes = x.bytesSent() + x.bytesReceived();
    c.repliedBytes = x.bytesReceived();
    c.turnArounds = x.requests();
    return c;
}

// Runs a program to its end and gives its peak resident memory in MB (-1 when it failed).
inline double runForPeakMB(const QString &program, const QStringList &args)
{
    QList<QByteArray> bytes{program.toLocal8Bit()};
    for (const QString &a : args) bytes << a.toLocal8Bit();
    std::vector<char *> argv;
    for (QByteArray &b : bytes) argv.push_back(b.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return -1;
    int status = 0;
    double peak = 0;
    if (!waitTrackingPeak(pid, status, peak) || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return peak;
}
