#pragma once

#include <optional>

// The few options the console answers on standard output without opening its window (so they work
// without a display, before the application object needs one): --help (-h) and --version (-v).
// Returns the exit status when one of them was given; nothing otherwise, and the console starts.
std::optional<int> answerWithoutWindow(int argc, const char *const *argv, const char *version);
