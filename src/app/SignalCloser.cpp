#include "app/SignalCloser.h"

#include <QSocketNotifier>
#include <QWidget>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// The one thing a signal handler may touch: the write end of the pipe.
volatile std::sig_atomic_t writeFd = -1;

void onSignal(int) {
    const char byte = 1;
    if (writeFd >= 0) [[maybe_unused]] auto n = ::write(writeFd, &byte, 1);
}
}  // namespace

SignalCloser::SignalCloser(QWidget &window, QObject *parent) : QObject(parent), window_(window) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds_) != 0) return;
    writeFd = fds_[0];
    notifier_ = new QSocketNotifier(fds_[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char buf[16];
        while (::read(fds_[1], buf, sizeof buf) > 0) {
        }
        window_.close();
    });
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
}

SignalCloser::~SignalCloser() {
    signal(SIGTERM, SIG_DFL);
    signal(SIGINT, SIG_DFL);
    writeFd = -1;
    for (int fd : fds_)
        if (fd >= 0) ::close(fd);
}
