#pragma once

// A child process's peak resident memory, read from /proc while it runs, and a child's run to its end
// with its time and peak memory. The rusage that wait4 gives for a spawned child is no use here: it
// also counts the parent's memory at the moment of the spawn.
#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>

#include <vector>
#include <fcntl.h>
#include <spawn.h>
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

// A child's run to its end: its exit status (-1 when it did not start or did not exit), wall time and
// peak resident memory.
struct ChildRun {
    int status = -1;
    double seconds = -1;
    double peakMB = 0;
};

// Starts `program` with `args`, its standard output written to `outPath`; its pid, -1 when it did not
// start.
inline pid_t spawnWithOutput(const QString &program, const QStringList &args, const QString &outPath)
{
    QList<QByteArray> bytes{program.toLocal8Bit()};
    for (const QString &a : args) bytes << a.toLocal8Bit();
    std::vector<char *> argv;
    for (QByteArray &b : bytes) argv.push_back(b.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const QByteArray out = outPath.toLocal8Bit();
    posix_spawn_file_actions_addopen(&actions, 1, out.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

// Runs `program` with `args` to its end, its standard output written to `outPath`.
inline ChildRun runTrackingPeak(const QString &program, const QStringList &args,
                                const QString &outPath = QStringLiteral("/dev/null"))
{
    ChildRun r;
    QElapsedTimer t;
    t.start();
    const pid_t pid = spawnWithOutput(program, args, outPath);
    int status = 0;
    if (pid < 0 || !waitTrackingPeak(pid, status, r.peakMB)) return r;
    r.seconds = t.nsecsElapsed() / 1e9;
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

// Runs a program to its end and gives its peak resident memory in MB (-1 when it failed).
inline double runForPeakMB(const QString &program, const QStringList &args)
{
    const ChildRun r = runTrackingPeak(program, args);
    return r.status == 0 ? r.peakMB : -1;
}
