#pragma once

#include "attlink/transport/FdChannel.h"

// A TCP connection to a terminal (or a network-to-serial adapter in front of one).
class TcpChannel : public FdChannel {
public:
    bool connectTo(const QString &host, const QString &port, int timeoutMs);
    // The socket state code 0..9 (see docs/protocol.md): 0 closed, 7 connected, 8 peer closing, 9 error.
    int state();
    // Why the last connectTo failed, in the system's words (no such host, refused, no answer in
    // time); empty after a success.
    QString connectFailure() const { return connectFailure_; }

private:
    QString connectFailure_;
};
