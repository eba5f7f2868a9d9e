#pragma once

#include "attlink/ClientResult.h"
#include "attlink/protocol/Frame.h"
#include "attlink/protocol/RecordBlock.h"

#include <QList>
#include <vector>

class TerminalClient;

// The host's side of a subscription on a TCP line (docs/protocol.md, "Subscription"): Subscribe asks a
// terminal to push each record it stores after a serial; each push is read here and acknowledged
// by the caller once it has what the push carried (for a collector: once it is committed). A push
// not acknowledged comes again with the same sequence number. Several terminals behind one
// connection may push on it; each push names its address.
class PushSubscription {
public:
    struct Push {
        int address = 0;
        uint32_t sequence = 0;
        quint64 newest = 0;  // the terminal's newest serial when it pushed
        std::vector<PackedRecord> records;  // at least one, consecutive serials
    };

    explicit PushSubscription(TerminalClient &client) : client_(client) {}

    // Asks `address` to push every record after `after`; `newest`: its newest serial. A terminal that
    // cannot push (on a serial line) answers Refused: the caller polls it instead.
    ClientResult subscribe(int address, quint64 after, quint64 &newest);
    // The next push of any subscribed terminal, waiting up to timeoutMs; `got` false after a silence.
    // A push whose records contradict it is a damaged reply (BadContent); the line failing ends it.
    ClientResult next(int timeoutMs, Push &push, bool &got);
    // Tells the terminal that every record of `push` is taken.
    ClientResult acknowledge(const Push &push);

private:
    bool takeHeld(Push &push, ClientResult &result);
    ClientResult decode(const Frame::Message &m, Push &push) const;

    TerminalClient &client_;
    Frame::Decoder decoder_;
    QList<Frame::Message> held_;
    quint64 generation_ = 0;  // the connection the decoder's bytes came from
};
