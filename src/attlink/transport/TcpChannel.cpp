#include "attlink/transport/TcpChannel.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

bool TcpChannel::connectTo(const QString &host, const QString &port, int timeoutMs)
{
    close();
    connectFailure_.clear();
    bool ok = false;
    const int portNumber = port.trimmed().toInt(&ok);
    if (!ok || portNumber < 1 || portNumber > 65535 || host.trimmed().isEmpty()) {
        setError(QStringLiteral("地址或端口无效"));
        connectFailure_ = QStringLiteral("not a host and port");
        return false;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    const int resolved =
        getaddrinfo(host.trimmed().toUtf8().constData(), QByteArray::number(portNumber).constData(), &hints, &found);
    if (resolved != 0 || !found) {
        setError(QStringLiteral("无法解析主机"));
        connectFailure_ = QStringLiteral("cannot resolve the host: ") + QString::fromLocal8Bit(gai_strerror(resolved));
        return false;
    }
    for (addrinfo *a = found; a; a = a->ai_next) {
        const int s = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
        if (s < 0) continue;
        int r = ::connect(s, a->ai_addr, a->ai_addrlen);
        int err = r < 0 ? errno : 0;
        if (r < 0 && err == EINPROGRESS) {
            const int ready = waitFor(s, POLLOUT, timeoutMs);
            r = ready == 1 ? 0 : -1;
            err = ready == 0 ? ETIMEDOUT : ready < 0 ? ECANCELED : 0;
            socklen_t len = sizeof err;
            if (r == 0 && (getsockopt(s, SOL_SOCKET, SO_ERROR, &err, &len) != 0 || err != 0)) r = -1;
        }
        if (r != 0)
            connectFailure_ = err == ETIMEDOUT ? QStringLiteral("no answer within %1 ms").arg(timeoutMs)
                                               : QString::fromLocal8Bit(std::strerror(err ? err : EIO));
        if (r == 0) {
            const int one = 1;
            setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            adopt(s);
            freeaddrinfo(found);
            return true;
        }
        ::close(s);
    }
    freeaddrinfo(found);
    setError(abandoned() ? abandonedText() : QStringLiteral("连接失败"));
    return false;
}

int TcpChannel::state()
{
    if (!isOpen()) return 0;
    pollfd p{fd(), POLLIN | POLLRDHUP, 0};
    if (::poll(&p, 1, 0) > 0) {
        if (p.revents & (POLLERR | POLLNVAL)) return 9;
        if (p.revents & (POLLHUP | POLLRDHUP)) return 8;
    }
    return 7;
}
