#pragma once

#include "link/PortFailure.h"

// The one wording of a serial port that did not open, for the console's status text (after its own
// failure text) and attctl's messages: "DEVICE: why; what to do". Empty when the link cannot say.
QString portFailureText(const PortFailure &failure);
