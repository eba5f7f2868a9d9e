#pragma once

// A child process's peak resident memory, read from /proc while it runs. The rusage that wait4 gives
// for a spawned child is no use here: it also counts the parent's memory at the moment of the spawn.
#include <QByteArray>
#include <QFile>
#include <QString>

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

// The process's peak resident memory so far (VmHWM) in MB; 0 when it cannot be read.
inline double peakResidentMB(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return 0;
}

// Waits for the child `pid` to end, reading its peak memory every 5 ms; false when waiting failed.
inline bool waitTrackingPeak(pid_t pid, int &status, double &peakMB)
{
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) return true;
        if (done < 0) return false;
        const double now = peakResidentMB(pid);
        if (now > peakMB) peakMB = now;
        usleep(5000);
    }
}
