#include "attctl/StopSignal.h"

#include <csignal>

namespace {

std::atomic<bool> stopFlag{false};
std::atomic<int> stopSignal{0};

extern "C" void onStop(int signal)
{
    stopSignal = signal;
    stopFlag = true;
    std::signal(signal, SIG_DFL);
}

}  // namespace

namespace StopSignal {

const std::atomic<bool> &install()
{
    struct sigaction action {};
    action.sa_handler = onStop;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    return stopFlag;
}

int received() { return stopSignal; }

}  // namespace StopSignal
