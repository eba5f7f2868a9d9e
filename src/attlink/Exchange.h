#pragma once

#include "attlink/LinkFailure.h"
#include "attlink/LinkSettings.h"
#include "attlink/protocol/Commands.h"
#include "attlink/protocol/Frame.h"
#include "attlink/transport/FdChannel.h"

#include <QElapsedTimer>
#include <QList>
#include <utility>

// One request and its reply over a channel: stale bytes flushed, the reply awaited with the response
// and inter-byte timeouts, frames of another address, command or sequence discarded, bounded retries.
//
// Every attempt ends by its deadline (attemptDeadlineMs()), however the bytes trickle in; an attempt
// that ran out its deadline while bytes kept coming is not repeated (the terminal is sending, but not
// an answer in time), so a request ends within (1 + Retries) deadlines, and a trickling terminal
// within one. The channel's abandon flag ends any wait within WaitSliceMs.
class Exchange {
public:
    using Failure = LinkFailure;  // the kinds an exchange gives: NotOpen ... NotOurs

    struct Reply {
        bool answered = false;  // false: no valid reply after every retry (communication failure)
        ReplyStatus status = ReplyStatus::Unknown;
        QByteArray data;  // payload after the status byte
        LinkFailure failure = LinkFailure::None;
        QString lineError;  // what the line said, for LineFailed and Disconnected
        bool ok() const { return answered && status == ReplyStatus::Ok; }
    };

    Exchange(FdChannel &channel, const LinkSettings &settings) : channel_(channel), settings_(settings) {}
    // Every attempt of one request carries the same sequence number, so that a terminal which already
    // carried it out answers a retry from its reply cache instead of doing it again.
    Reply request(uint8_t address, uint8_t command, const QByteArray &payload);

    // On a line that turns around (serial), the least time between a reply's arrival and the next
    // request; 0 for none. Nothing on TCP.
    void setTurnaroundGuard(int ms) { turnaroundMs_ = ms; }

    // From the request's last byte to the reply's last byte: ReplyDeadline when set, else the
    // response timeout, one inter-byte timeout and the time the longest frame takes at lineBaud()
    // with a quarter to spare.
    int attemptDeadlineMs() const;
    static constexpr int TcpAllowanceBaud = 115200;
    // The rate replies are expected at: on a serial line [Serial] Baud; on TCP the rate of the serial
    // converter behind it when known ([Tcp] Baud, the fleet file's `baud`), else TcpAllowanceBaud. A
    // reply seen coming slower than that (late, but its bytes still coming) lowers it for the rest of
    // the connection, never below SlowestBaud: below that a peer is trickling, not talking.
    int lineBaud() const;
    static constexpr int SlowestBaud = 1200;
    // Whether the last request ran late while its bytes kept coming and the rate then seen was
    // adopted: a caller asking for large replies asks for less and tries again.
    bool slowedDown() const { return slowedDown_; }

    // Bytes on the line in both directions, bad frames seen and attempts repeated, for the benchmarks.
    // Pushes of a subscribed terminal that arrived while a reply was awaited, and the bytes read after
    // the reply (a push begun), for the subscription to go on with; both are emptied by taking them.
    QList<Frame::Message> takePushes() { return std::exchange(pushes_, {}); }
    QByteArray takeLeftover() { return std::exchange(leftover_, {}); }
    static constexpr int MaxHeldPushes = 64;

    qint64 bytesSent() const { return bytesSent_; }
    qint64 bytesReceived() const { return bytesReceived_; }
    qint64 badFrames() const { return badFrames_; }
    qint64 retriesUsed() const { return retriesUsed_; }
    // Requests that waited for the turn-around guard.
    qint64 turnaroundWaits() const { return turnaroundWaits_; }
    // Requests made, and how the last one ended.
    qint64 requests() const { return requests_; }
    bool lastAnswered() const { return lastAnswered_; }
    LinkFailure lastFailure() const { return lastFailure_; }
    int lastDeadlineMs() const { return lastDeadlineMs_; }

private:
    enum class Outcome { Answered, Silent, Damaged, Final };
    Reply withRetries(uint8_t address, uint8_t command, const QByteArray &payload);
    Outcome awaitReply(uint8_t address, uint8_t command, uint32_t sequence, Reply &reply);
    void fail(Reply &reply, LinkFailure failure) const;
    void failOnLine(Reply &reply) const;
    uint32_t nextSequence();
    void guardTurnaround();
    void learnRate(qint64 received, qint64 elapsedMs);
    void drainLateReply();

    FdChannel &channel_;
    const LinkSettings &settings_;
    uint32_t sequence_ = 0;
    quint64 sequenceGeneration_ = 0;  // the channel generation sequence_ was drawn for
    int turnaroundMs_ = 0;
    QElapsedTimer lastReply_;
    void holdPush(const Frame::Message &m);
    void discardStale();
    QList<Frame::Message> pushes_;
    QByteArray leftover_;
    QByteArray heard_;  // what an attempt received, kept for the wire trace only
    qint64 bytesSent_ = 0, bytesReceived_ = 0, badFrames_ = 0, retriesUsed_ = 0, turnaroundWaits_ = 0, requests_ = 0;
    bool lastAnswered_ = false;
    LinkFailure lastFailure_ = LinkFailure::None;
    int lastDeadlineMs_ = 0;
    int observedBaud_ = 0;  // a slower rate seen on this connection; 0 for none
    quint64 observedGeneration_ = 0;
    bool slowedDown_ = false;
    bool lateReplyOnLine_ = false;  // a reply given up as too slow may still be arriving
};
