#include "attlink/transport/FdChannel.h"

#include <QElapsedTimer>

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

int FdChannel::waitFor(int fd, short events, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        if (abandoned()) {
            setError(abandonedText());
            return -1;
        }
        const qint64 left = qMax<qint64>(0, timeoutMs - clock.elapsed());
        pollfd p{fd, events, 0};
        const int r = ::poll(&p, 1, int(qMin<qint64>(left, WaitSliceMs)));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) {
            setError(QString::fromLocal8Bit(strerror(errno)));
            return -1;
        }
        if (r > 0) return 1;
        if (left <= WaitSliceMs) return 0;
    }
}

bool FdChannel::writeAll(const QByteArray &bytes, int timeoutMs)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        if (fd_ < 0) return false;
        const int r = waitFor(fd_, POLLOUT, timeoutMs);
        if (r < 0) return false;
        if (r == 0) {
            setError(QStringLiteral("发送超时"));
            return false;
        }
        const ssize_t w = send(bytes.constData() + done, size_t(bytes.size() - done));
        if (w < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            peerGone_ = errno == EPIPE || errno == ECONNRESET;
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
        const int r = waitFor(fd_, POLLIN, timeoutMs);
        if (r < 0) return -1;
        if (r == 0) return 0;
        char buf[16384];
        const ssize_t n = ::read(fd_, buf, sizeof buf);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) {
            peerGone_ = n == 0 || errno == ECONNRESET;
            setError(n == 0 ? QStringLiteral("连接已断开") : QString::fromLocal8Bit(strerror(errno)));
            return -1;
        }
        into.append(buf, n);
        return int(n);
    }
}

void FdChannel::discardInput()
{
    QByteArray junk;
    while (fd_ >= 0 && readSome(junk, 0) > 0) junk.clear();
}
