#include "sim/StdinLines.h"

#include <QSocketNotifier>
#include <QString>

#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

StdinLines::StdinLines(QObject *parent)
    : QObject(parent), notifier_(new QSocketNotifier(0, QSocketNotifier::Read, this))
{
    connect(notifier_, &QSocketNotifier::activated, this, &StdinLines::readable);
}

void StdinLines::readable()
{
    char buf[4096];
    const ssize_t n = ::read(0, buf, sizeof buf);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return;
    if (n <= 0) {
        notifier_->setEnabled(false);
        if (!buffer_.isEmpty()) emit line(QString::fromUtf8(buffer_).trimmed());
        buffer_.clear();
        return;
    }
    buffer_.append(buf, n);
    qsizetype end;
    while ((end = buffer_.indexOf('\n')) >= 0) {
        const QByteArray one = buffer_.left(end);
        buffer_.remove(0, end + 1);
        emit line(QString::fromUtf8(one).trimmed());
    }
    if (buffer_.size() > 65536) buffer_.clear();  // no control line is that long
}

namespace {
volatile std::sig_atomic_t signalFd = -1;
void onSignal(int)
{
    const char byte = 1;
    if (signalFd >= 0) [[maybe_unused]]
        auto n = ::write(signalFd, &byte, 1);
}
}  // namespace

StopSignals::StopSignals(QObject *parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds_) != 0) return;
    signalFd = fds_[0];
    auto *n = new QSocketNotifier(fds_[1], QSocketNotifier::Read, this);
    connect(n, &QSocketNotifier::activated, this, [this] {
        char buf[16];
        while (::read(fds_[1], buf, sizeof buf) > 0) {}
        emit stopped();
    });
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
}

StopSignals::~StopSignals()
{
    signalFd = -1;
    for (int fd : fds_)
        if (fd >= 0) ::close(fd);
}
