#include "sync/LineLock.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QStandardPaths>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// The lock file of a line in a folder.
QString pathOf(const QString &folder, const QString &lineKey)
{
    // The name shows what is locked and stays a valid file name whatever the device path holds.
    QString readable = lineKey;
    for (QChar &c : readable)
        if (!c.isLetterOrNumber() && c != u'.' && c != u'-') c = u'_';
    const QByteArray hash = QCryptographicHash::hash(lineKey.toUtf8(), QCryptographicHash::Sha1).toHex().left(12);
    return folder + u'/' + readable.left(60) + u'-' + QString::fromLatin1(hash) + QStringLiteral(".lock");
}

}  // namespace

LineLock::~LineLock() { release(); }

QString LineLock::defaultFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists()) return runtime + QStringLiteral("/zevo-sync");
    return QDir::tempPath() + QStringLiteral("/zevo-sync-%1").arg(::getuid());
}

bool LineLock::acquire(const QString &folder, const QString &lineKey, int waitSeconds, QString &error)
{
    release();
    if (!QDir().mkpath(folder)) {
        error = QStringLiteral("cannot create the lock folder %1").arg(folder);
        return false;
    }
    const QString path = pathOf(folder, lineKey);
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        error =
            QStringLiteral("cannot open the lock file %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    const QDeadlineTimer deadline(qint64(waitSeconds) * 1000);
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            fd_ = fd;
            return true;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            error = QStringLiteral("cannot lock %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
            ::close(fd);
            return false;
        }
        if (deadline.hasExpired()) break;
        QThread::msleep(50);
    }
    ::close(fd);
    error = waitSeconds > 0
        ? QStringLiteral("the line %1 is in use by another sync (waited %2 s)").arg(lineKey).arg(waitSeconds)
        : QStringLiteral("the line %1 is in use by another sync").arg(lineKey);
    return false;
}

void LineLock::release()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}
