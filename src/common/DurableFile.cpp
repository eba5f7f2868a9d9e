#include "common/DurableFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

DurableFile::DurableFile(const QString &path) : path_(path) {}

DurableFile::~DurableFile() { cancel(); }

bool DurableFile::fail(int number)
{
    if (errno_ == 0) {
        errno_ = number;
        error_ = QString::fromLocal8Bit(strerror(number));
    }
    cancel();
    return false;
}

bool DurableFile::open()
{
    cancel();
    errno_ = 0;
    error_.clear();
    // The temporary file must live in the target's folder: a rename across file systems is a copy.
    // Created with 0666 so that the umask applies as for any new file.
    const QByteArray target = QFile::encodeName(path_);
    for (int attempt = 0; fd_ < 0; ++attempt) {
        tempName_ = target + ".tmp-" + QByteArray::number(QRandomGenerator::global()->generate64(), 36);
        fd_ = ::open(tempName_.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0 && (errno != EEXIST || attempt == 20)) {
            const int e = errno;
            tempName_.clear();
            return fail(e);
        }
    }
    // A replaced file keeps its permissions.
    struct stat old {};
    if (::stat(target.constData(), &old) == 0 && S_ISREG(old.st_mode)) ::fchmod(fd_, old.st_mode & 07777);
    return true;
}

bool DurableFile::write(const QByteArray &bytes)
{
    if (fd_ < 0) return errno_ ? false : fail(EBADF);
    const char *p = bytes.constData();
    size_t left = size_t(bytes.size());
    while (left > 0) {
        const ssize_t w = ::write(fd_, p, left);
        if (w < 0) {
            if (errno == EINTR) continue;
            return fail(errno);
        }
        if (w == 0) return fail(ENOSPC);
        p += w;
        left -= size_t(w);
    }
    return true;
}

bool DurableFile::commit()
{
    if (fd_ < 0) return errno_ ? false : fail(EBADF);
    if (::fsync(fd_) != 0) return fail(errno);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
        const int e = errno;
        ::unlink(tempName_.constData());
        tempName_.clear();
        return fail(e);
    }
    const QByteArray target = QFile::encodeName(path_);
    if (::rename(tempName_.constData(), target.constData()) != 0) {
        const int e = errno;
        ::unlink(tempName_.constData());
        tempName_.clear();
        return fail(e);
    }
    tempName_.clear();
    // The rename is durable once the folder's entry is on the disk; a folder that cannot be synced
    // (some file systems refuse) leaves the file replaced all the same.
    const QByteArray folder = QFile::encodeName(QFileInfo(path_).absolutePath());
    const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

void DurableFile::cancel()
{
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!tempName_.isEmpty()) ::unlink(tempName_.constData());
    tempName_.clear();
}

bool DurableFile::replace(const QString &path, const QByteArray &content, QString *error, int *errorNumber)
{
    DurableFile f(path);
    const bool ok = f.open() && f.write(content) && f.commit();
    if (error) *error = f.errorString();
    if (errorNumber) *errorNumber = f.errorNumber();
    return ok;
}

QString DurableFile::reasonText(int errorNumber)
{
    switch (errorNumber) {
    case ENOSPC:
        return QStringLiteral("磁盘已满");
    case EDQUOT:
        return QStringLiteral("超出磁盘配额");
    case EACCES:
    case EPERM:
        return QStringLiteral("文件夹不可写入");
    case EROFS:
        return QStringLiteral("文件系统只读");
    case ENOENT:
        return QStringLiteral("文件夹不存在");
    case EIO:
        return QStringLiteral("磁盘读写错误");
    default:
        return QString::fromLocal8Bit(strerror(errorNumber));
    }
}
