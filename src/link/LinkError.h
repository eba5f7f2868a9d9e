#pragma once

#include "common/RaisedError.h"

// An error raised by a device-link operation: what an automation component reports as an error number
// and a description. 438: the component lacks the operation; 450: it does not take that number of
// arguments; 429: the component cannot be created.
struct LinkError : RaisedError {
    using RaisedError::RaisedError;

    static constexpr int NotCreatable = 429;
    static constexpr int NoSuchOperation = 438;
    static constexpr int WrongArgumentCount = 450;
};
