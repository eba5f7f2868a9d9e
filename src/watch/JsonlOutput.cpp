#include "watch/JsonlOutput.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <unistd.h>

int JsonlOutput::deliver(const QString &, const QList<QByteArray> &jsonLines, int timeoutMs, QString &error)
{
    QByteArray bytes;
    for (const QByteArray &line : jsonLines) bytes.append(line).append('\n');
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.constData() + written, size_t(bytes.size() - written));
        if (n > 0) {
            written += n;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) {  // a reader that does not keep up: wait for it, not past the timeout
            pollfd p{fd_, POLLOUT, 0};
            if (::poll(&p, 1, timeoutMs) > 0) continue;
            error = QStringLiteral("standard output is not being read");
        } else {
            error = QStringLiteral("cannot write standard output: %1").arg(QString::fromLocal8Bit(strerror(errno)));
        }
        break;
    }
    // Only whole lines count.
    int taken = 0;
    for (qsizetype at = 0; taken < jsonLines.size(); ++taken) {
        at += jsonLines[taken].size() + 1;
        if (at > written) break;
    }
    return taken;
}
