#include "app/SignalCloser.h"

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// The one thing a signal handler may touch: the write end of the pipe.
volatile std::sig_atomic_t writeFd = -1;

void onSignal(int)
{
    const char byte = 1;
    if (writeFd >= 0) [[maybe_unused]]
        auto n = ::write(writeFd, &byte, 1);
}

// How often a close that waits for a command to finish looks again.
constexpr int RetryMs = 20;
}  // namespace

SignalCloser::SignalCloser(QWidget &window, QObject *parent)
    : QObject(parent), window_(window), windowLoopLevel_(QThread::currentThread()->loopLevel() + 1)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds_) != 0) return;
    writeFd = fds_[0];
    notifier_ = new QSocketNotifier(fds_[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char buf[16];
        while (::read(fds_[1], buf, sizeof buf) > 0) {}
        if (watch_.isActive()) return;
        watch_.start();
        step();
    });
    // Until the window is gone, every box or dialog is answered as cancelled, also one that the
    // shut-down itself opens.
    watch_.setInterval(RetryMs);
    connect(&watch_, &QTimer::timeout, this, &SignalCloser::step);
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
}

SignalCloser::~SignalCloser()
{
    signal(SIGTERM, SIG_DFL);
    signal(SIGINT, SIG_DFL);
    writeFd = -1;
    for (int fd : fds_)
        if (fd >= 0) ::close(fd);
}

bool SignalCloser::cancelOpenDialogs()
{
    bool any = false;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        auto *dialog = qobject_cast<QDialog *>(w);
        if (!dialog) continue;
        // A dialog drawn by the desktop leaves its widget hidden; the nested loop that waits for it
        // keeps the close waiting until it is gone.
        any = any || dialog->isVisible();
        dialog->reject();  // a message box answers No (or OK), a file dialog chooses nothing
    }
    return any;
}

void SignalCloser::step()
{
    // A box may be followed by another one when the command reads the cancelled answer: each is
    // cancelled in turn until the commands are done and the window's own loop runs again.
    const bool cancelled = cancelOpenDialogs();
    if (!closeAsked_ && !cancelled && QThread::currentThread()->loopLevel() <= windowLoopLevel_) {
        closeAsked_ = true;
        window_.close();  // held by a device-link call in progress until the call is over
    }
    if (closeAsked_ && !window_.isVisible()) watch_.stop();
}
