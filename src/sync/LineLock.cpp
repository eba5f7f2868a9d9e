#include "sync/LineLock.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
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
    const QString shared = QDir::tempPath() + QStringLiteral("/zevo-sync-%1").arg(::geteuid());
    QString unused;
    if (prepareFolder(shared, unused)) return shared;
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/zevo/sync-locks");
}

bool LineLock::prepareFolder(const QString &folder, QString &error)
{
    const QByteArray name = QFile::encodeName(folder);
    int made = ::mkdir(name.constData(), 0700) == 0 ? 0 : errno;
    if (made == ENOENT && QDir().mkpath(QFileInfo(folder).path()))
        made = ::mkdir(name.constData(), 0700) == 0 ? 0 : errno;
    if (made != 0 && made != EEXIST) {
        error = QStringLiteral("cannot create the lock folder %1: %2")
                    .arg(folder, QString::fromLocal8Bit(std::strerror(made)));
        return false;
    }
    struct stat s {};
    if (::stat(name.constData(), &s) != 0 || !S_ISDIR(s.st_mode)) {
        error = QStringLiteral("the lock folder %1 is not a folder").arg(folder);
        return false;
    }
    // Root's folders are trusted as well: a folder made by an administrator for a team (/run/lock/...).
    if (s.st_uid != ::geteuid() && s.st_uid != 0) {
        error =
            QStringLiteral(
                "the lock folder %1 belongs to another user (uid %2): remove it, or give --lock-dir a folder of your own")
                .arg(folder)
                .arg(s.st_uid);
        return false;
    }
    if (s.st_mode & S_IWOTH) {
        error =
            QStringLiteral(
                "the lock folder %1 is writable by every user: chmod o-w it, or give --lock-dir a folder of your own")
                .arg(folder);
        return false;
    }
    return true;
}

bool LineLock::acquire(const QString &folder, const QString &lineKey, int waitSeconds, QString &error)
{
    release();
    if (!prepareFolder(folder, error)) return false;
    const QString path = pathOf(folder, lineKey);
    // Read-only is enough for flock(), so the users of a shared folder can all open a lock file one
    // of them made; a link planted in its place is never followed.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
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
