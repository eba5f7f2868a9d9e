#pragma once

#include <atomic>

// SIGTERM (systemctl stop) and SIGINT (Ctrl-C) during a long command: the first one sets a flag that
// the command polls, so that it can finish or roll back the work in hand and say what it did; a
// second one ends the program at once.
namespace StopSignal {

// Installs the handlers; the flag they set.
const std::atomic<bool> &install();
// The signal that set the flag, 0 while none came.
int received();

}  // namespace StopSignal
