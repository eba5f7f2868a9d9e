#pragma once

// attsim as a benchmark's child process, on free ports, stopped with the benchmark; the build's folder
// of programs.
#include "child_memory.h"

#include <QCoreApplication>
#include <QProcess>
#include <QString>
#include <QStringList>

inline QString binDir() { return QCoreApplication::applicationDirPath() + QStringLiteral("/.."); }

struct BenchSim {
    QProcess process;
    QString host, port;
    QStringList fleet;  // with --fleet: every terminal's HOST:PORT, in address order

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
                if (line.startsWith(QStringLiteral("ready fleet "))) fleet = line.mid(12).split(u' ');
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
