#include "sync/PunchSpool.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

// One record in the spool: serial, card, stamp, flag, suspect reason, in this machine's byte order.
constexpr size_t RecordBytes = 8 + 4 + 8 + 4 + 1;

}  // namespace

PunchSpool::~PunchSpool()
{
    if (file_) std::fclose(file_);
}

bool PunchSpool::reset(QString &error)
{
    count_ = read_ = 0;
    writeFailed_ = false;
    // One file serves every terminal of a worker: emptied, not made anew, since creating and
    // deleting a file per terminal contends for the temporary folder across the workers.
    if (file_) {
        std::rewind(file_);
        if (::ftruncate(::fileno(file_), 0) == 0) return true;
        std::fclose(file_);
        file_ = nullptr;
    }
    QByteArray pattern = QFile::encodeName(QDir::tempPath() + QStringLiteral("/zevo-spool-XXXXXX"));
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        error = QStringLiteral("cannot create a spool file in %1: %2")
                    .arg(QDir::tempPath(), QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    ::unlink(pattern.constData());
    file_ = ::fdopen(fd, "w+b");
    if (!file_) {
        ::close(fd);
        error = QStringLiteral("cannot use a spool file: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    std::setvbuf(file_, nullptr, _IOFBF, 1 << 16);
    return true;
}

bool PunchSpool::append(const Punch &p)
{
    char bytes[RecordBytes];
    std::memcpy(bytes, &p.serial, 8);
    std::memcpy(bytes + 8, &p.card, 4);
    std::memcpy(bytes + 12, &p.stamp, 8);
    std::memcpy(bytes + 20, p.flag.data(), 4);
    bytes[24] = char(p.suspect);
    if (!file_ || std::fwrite(bytes, 1, RecordBytes, file_) != RecordBytes) {
        writeFailed_ = true;
        return false;
    }
    ++count_;
    return true;
}

bool PunchSpool::rewind(QString &error)
{
    if (!file_ || writeFailed_ || std::fflush(file_) != 0 || std::fseek(file_, 0, SEEK_SET) != 0) {
        error = QStringLiteral("cannot write the spool file in %1 (disk full?)").arg(QDir::tempPath());
        return false;
    }
    read_ = 0;
    return true;
}

bool PunchSpool::next(Punch &p, QString &error)
{
    if (read_ >= count_) return false;
    char bytes[RecordBytes];
    if (std::fread(bytes, 1, RecordBytes, file_) != RecordBytes) {
        error = QStringLiteral("cannot read back the spool file");
        return false;
    }
    std::memcpy(&p.serial, bytes, 8);
    std::memcpy(&p.card, bytes + 8, 4);
    std::memcpy(&p.stamp, bytes + 12, 8);
    std::memcpy(p.flag.data(), bytes + 20, 4);
    p.suspect = uint8_t(bytes[24]);
    ++read_;
    return true;
}
