#include "attlink/transport/PortHolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace PortHolders {

namespace {

PortHolder describe(const QString &pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    return {comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readAll()).trimmed() : QString(),
            pid.toLongLong()};
}

// Lines of /proc/locks: "1: FLOCK  ADVISORY  WRITE 1234 00:05:17 0 EOF", the file named by the
// hexadecimal major:minor of its file system and its inode number.
QStringList lockHolders(const struct stat &device)
{
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly)) return {};
    const QString id = QStringLiteral("%1:%2:%3")
                           .arg(major(device.st_dev), 2, 16, QLatin1Char('0'))
                           .arg(minor(device.st_dev), 2, 16, QLatin1Char('0'))
                           .arg(qulonglong(device.st_ino));
    QStringList pids;
    for (const QByteArray &line : locks.readAll().split('\n')) {
        const QStringList f = QString::fromLatin1(line).split(u' ', Qt::SkipEmptyParts);
        // Blocked waiters ("->") hold nothing.
        if (f.size() >= 6 && f[1] != QLatin1String("->") && f[5] == id && !pids.contains(f[4])) pids << f[4];
    }
    return pids;
}

QStringList openedBy(const struct stat &device)
{
    QStringList pids;
    const QString self = QString::number(getpid());
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (pid == self || !pid.front().isDigit()) continue;
        const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
        for (const QString &fd : fds.entryList(QDir::System | QDir::NoDotAndDotDot)) {
            struct stat s {};
            if (::stat(fds.filePath(fd).toLocal8Bit().constData(), &s) == 0 && S_ISCHR(s.st_mode)
                && s.st_rdev == device.st_rdev) {
                pids << pid;
                break;
            }
        }
        if (pids.size() == 3) break;
    }
    return pids;
}

}  // namespace

QList<PortHolder> of(const QString &devicePath)
{
    struct stat device {};
    if (::stat(devicePath.toLocal8Bit().constData(), &device) != 0) return {};
    QStringList pids = lockHolders(device);
    if (pids.isEmpty() && S_ISCHR(device.st_mode)) pids = openedBy(device);
    QList<PortHolder> holders;
    for (const QString &pid : pids) holders << describe(pid);
    return holders;
}

}  // namespace PortHolders
