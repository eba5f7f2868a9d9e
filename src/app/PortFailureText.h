#pragma once

#include "link/PortFailure.h"

// The console's words for a serial port that did not open, appended to its status text: who holds
// a busy port, the group to join for a refused one. Empty when the link cannot say.
QString portFailureText(const PortFailure &failure);
