#include "attlink/transport/FdChannel.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

FdChannel::~FdChannel() { close(); }

void FdChannel::close()
{
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    notSocket_ = false;
}

bool FdChannel::writeAll(const QByteArray &bytes, int timeoutMs)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        if (fd_ < 0) return false;
        pollfd p{fd_, POLLOUT, 0};
        const int r = ::poll(&p, 1, timeoutMs);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) { setError(r == 0 ? QStringLiteral("发送超时") : QString::fromLocal8Bit(strerror(errno))); return false; }
        const ssize_t w = send(bytes.constData() + done, size_t(bytes.size() - done));
        if (w < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            setError(QString::fromLocal8Bit(strerror(errno)));
            return false;
        }
        done += w;
    }
    return true;
}

ssize_t FdChannel::send(const char *data, size_t size)
{
    // A socket whose peer has gone must report an error, not raise SIGPIPE and end the program.
    if (!notSocket_) {
        const ssize_t w = ::send(fd_, data, size, MSG_NOSIGNAL);
        if (w >= 0 || errno != ENOTSOCK) return w;
        notSocket_ = true;
    }
    return ::write(fd_, data, size);
}

int FdChannel::readSome(QByteArray &into, int timeoutMs)
{
    if (fd_ < 0) return -1;
    for (;;) {
        pollfd p{fd_, POLLIN, 0};
        const int r = ::poll(&p, 1, timeoutMs);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) { setError(QString::fromLocal8Bit(strerror(errno))); return -1; }
        if (r == 0) return 0;
        char buf[16384];
        const ssize_t n = ::read(fd_, buf, sizeof buf);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) { setError(n == 0 ? QStringLiteral("连接已断开") : QString::fromLocal8Bit(strerror(errno))); return -1; }
        into.append(buf, n);
        return int(n);
    }
}

void FdChannel::discardInput()
{
    QByteArray junk;
    while (fd_ >= 0 && readSome(junk, 0) > 0) junk.clear();
}
