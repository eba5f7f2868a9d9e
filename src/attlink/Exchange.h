#pragma once

#include "attlink/LinkSettings.h"
#include "attlink/protocol/Commands.h"
#include "attlink/protocol/Frame.h"
#include "attlink/transport/FdChannel.h"

#include <QElapsedTimer>

// One request and its reply over a channel: stale bytes flushed, the reply awaited with the response
// and inter-byte timeouts, frames of another address, command or sequence discarded, bounded retries.
class Exchange {
public:
    struct Reply {
        bool answered = false;   // false: no valid reply after every retry (communication failure)
        ReplyStatus status = ReplyStatus::Unknown;
        QByteArray data;         // payload after the status byte
        QString error;
        bool ok() const { return answered && status == ReplyStatus::Ok; }
    };

    Exchange(FdChannel &channel, const LinkSettings &settings) : channel_(channel), settings_(settings) {}
    // Every attempt of one request carries the same sequence number, so that a terminal which already
    // carried it out answers a retry from its reply cache instead of doing it again.
    Reply request(uint8_t address, uint8_t command, const QByteArray &payload);

    // On a line that turns around (serial), the least time between a reply's arrival and the next
    // request; 0 for none. Nothing on TCP.
    void setTurnaroundGuard(int ms) { turnaroundMs_ = ms; }

    // Bytes on the line in both directions and bad frames seen, for the benchmarks.
    qint64 bytesSent = 0, bytesReceived = 0, badFrames = 0, retriesUsed = 0;
    // Requests that waited for the turn-around guard.
    qint64 turnaroundWaits = 0;
    // Requests made, and how the last one ended: callers that only see a false result (attctl) tell
    // a terminal's refusal from a failed line by these.
    qint64 requests = 0;
    bool lastAnswered = false;
    QString lastError;

private:
    Reply withRetries(uint8_t address, uint8_t command, const QByteArray &payload);
    bool awaitReply(uint8_t address, uint8_t command, uint32_t sequence, Reply &reply);
    uint32_t nextSequence();
    void guardTurnaround();

    FdChannel &channel_;
    const LinkSettings &settings_;
    uint32_t sequence_ = 0;
    quint64 sequenceGeneration_ = 0;  // the channel generation sequence_ was drawn for
    int turnaroundMs_ = 0;
    QElapsedTimer lastReply_;
    QByteArray heard_;  // what an attempt received, kept for the wire trace only
};
