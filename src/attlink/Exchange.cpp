#include "attlink/Exchange.h"

#include "attlink/LinkLog.h"
#include "attlink/WireTrace.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QThread>

#include <algorithm>

namespace {
// Whether a frame that failed its CRC was most likely our reply: one damaged byte leaves at least
// two of the three header fields intact.
bool looksLikeOurs(const Frame::Message &h, uint8_t address, uint8_t command, uint32_t sequence)
{
    return (h.address == address) + (h.command == (command | Frame::ReplyBit)) + (h.sequence == sequence) >= 2;
}
}  // namespace

int Exchange::lineBaud() const
{
    // TCP has no line rate of its own; a terminal behind a serial converter of unknown rate is
    // allowed 115200 baud.
    int rate = channel_.turnsAround() ? settings_.baud : settings_.tcpBaud > 0 ? settings_.tcpBaud : TcpAllowanceBaud;
    if (observedBaud_ > 0 && observedGeneration_ == channel_.generation()) rate = std::min(rate, observedBaud_);
    return std::max(rate, SlowestBaud);
}

int Exchange::attemptDeadlineMs() const
{
    if (settings_.replyDeadlineMs > 0) return settings_.replyDeadlineMs;
    const qint64 longest = Frame::OverheadSize + Frame::MaxPayload;
    const qint64 lineMs = longest * 10 * 1000 * 5 / 4 / lineBaud();
    return int(settings_.responseTimeoutMs + settings_.interByteTimeoutMs + lineMs);
}

void Exchange::learnRate(qint64 received, qint64 elapsedMs)
{
    // The bytes of a reply that ran out its deadline came at about this rate; a peer slower than the
    // slowest line is trickling, and its deadline stays as it was.
    if (settings_.replyDeadlineMs > 0 || elapsedMs <= 0) return;
    const qint64 baud = received * 10 * 1000 / elapsedMs;
    if (baud < SlowestBaud || baud >= lineBaud()) return;
    const int before = attemptDeadlineMs();
    observedBaud_ = int(baud);
    observedGeneration_ = channel_.generation();
    slowedDown_ = true;
    const QString note = QStringLiteral("the reply came at about %1 baud: replies are now allowed %2 ms instead of %3")
                             .arg(baud)
                             .arg(attemptDeadlineMs())
                             .arg(before);
    qCInfo(linkLog).noquote() << note;
    if (WireTrace::enabled()) WireTrace::note(note);
}

void Exchange::drainLateReply()
{
    // The rest of a reply given up as too slow is still on its way: wait until the line falls
    // silent, so that it does not eat into the next reply's time.
    lateReplyOnLine_ = false;
    QByteArray chunk;
    QElapsedTimer clock;
    clock.start();
    qint64 drained = 0;
    while (clock.elapsed() < attemptDeadlineMs() && !channel_.abandoned()) {
        chunk.clear();
        const int n = channel_.readSome(chunk, settings_.interByteTimeoutMs);
        if (n <= 0) break;
        drained += n;
        bytesReceived_ += n;
    }
    if (drained > 0 && WireTrace::enabled())
        WireTrace::note(QStringLiteral("%1 bytes of the late reply drained before the next request").arg(drained));
}

void Exchange::holdPush(const Frame::Message &m)
{
    // A push not held is sent again by the terminal; holding them is only quicker.
    if (pushes_.size() < MaxHeldPushes) pushes_.append(m);
}

void Exchange::discardStale()
{
    // Stale answers of an earlier try go; a terminal's pushes among them are kept.
    Frame::Decoder decoder;
    decoder.feed(std::exchange(leftover_, {}));
    QByteArray junk;
    while (channel_.isOpen() && channel_.readSome(junk, 0) > 0) {
        decoder.feed(junk);
        junk.clear();
    }
    for (Frame::Message m; decoder.next(m);)
        if (m.command == (Command::Push | Frame::ReplyBit)) holdPush(m);
}

void Exchange::fail(Reply &reply, LinkFailure failure) const { reply.failure = failure; }

void Exchange::failOnLine(Reply &reply) const
{
    reply.lineError = channel_.lastError();
    if (channel_.abandoned())
        fail(reply, Failure::Abandoned);
    else if (!channel_.isOpen() || channel_.peerGone())
        fail(reply, Failure::Disconnected);
    else
        fail(reply, Failure::LineFailed);
}

Exchange::Reply Exchange::request(uint8_t address, uint8_t command, const QByteArray &payload)
{
    ++requests_;
    slowedDown_ = false;
    if (lateReplyOnLine_) drainLateReply();
    Reply reply = withRetries(address, command, payload);
    if (!reply.answered && WireTrace::enabled()) WireTrace::gaveUp(WireTrace::cause(reply.failure));
    if (!reply.answered)
        qCInfo(linkLog).noquote() << QStringLiteral("%1 to address %2 given up: %3")
                                         .arg(WireTrace::commandName(command))
                                         .arg(address)
                                         .arg(LinkFailures::text(reply.failure, attemptDeadlineMs()));
    lastAnswered_ = reply.answered;
    lastFailure_ = reply.failure;
    lastDeadlineMs_ = attemptDeadlineMs();
    return reply;
}

uint32_t Exchange::nextSequence()
{
    // A random start for each connection or port opened: two programs sending the same request one
    // after the other on one line are then not taken for a retry of each other.
    if (sequenceGeneration_ != channel_.generation()) {
        sequenceGeneration_ = channel_.generation();
        sequence_ = QRandomGenerator::system()->generate();
    }
    return ++sequence_;
}

void Exchange::guardTurnaround()
{
    if (turnaroundMs_ <= 0 || !channel_.turnsAround() || !lastReply_.isValid()) return;
    // In slices, so that an abandoned call does not sit out the pause.
    qint64 wait = turnaroundMs_ - lastReply_.elapsed();
    if (wait <= 0) return;
    ++turnaroundWaits_;
    for (; wait > 0 && !channel_.abandoned(); wait = turnaroundMs_ - lastReply_.elapsed())
        QThread::msleep(ulong(qMin<qint64>(wait, FdChannel::WaitSliceMs)));
}

Exchange::Reply Exchange::withRetries(uint8_t address, uint8_t command, const QByteArray &payload)
{
    Reply reply;
    // What a damaged attempt showed: a later silent attempt must not turn it into "no answer".
    Reply damage;
    const int attempts = 1 + settings_.retries;
    const uint32_t seq = nextSequence();
    const QByteArray frame = Frame::encode({address, command, seq, payload});
    if (frame.isEmpty()) {
        fail(reply, Failure::TooLong);
        return reply;
    }
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (!channel_.isOpen()) {
            fail(reply, Failure::NotOpen);
            return reply;
        }
        if (channel_.abandoned()) {
            failOnLine(reply);
            return reply;
        }
        if (attempt > 0) {
            ++retriesUsed_;
            qCInfo(linkLog).noquote() << QStringLiteral("%1 to address %2: attempt %3 of %4 after %5")
                                             .arg(WireTrace::commandName(command))
                                             .arg(address)
                                             .arg(attempt + 1)
                                             .arg(attempts)
                                             .arg(WireTrace::cause(reply.failure));
        }
        guardTurnaround();
        discardStale();
        const bool more = attempt + 1 < attempts;
        if (!channel_.writeAll(frame, settings_.responseTimeoutMs)) {
            failOnLine(reply);
            if (reply.failure != Failure::LineFailed) return reply;
            if (more && WireTrace::enabled()) WireTrace::retry(attempt + 2, attempts, WireTrace::cause(reply.failure));
            continue;
        }
        bytesSent_ += frame.size();
        if (WireTrace::enabled()) WireTrace::sent({address, command, seq, payload}, frame, attempt + 1);
        heard_.clear();
        const Outcome outcome = awaitReply(address, command, seq, reply);
        if (outcome != Outcome::Answered && WireTrace::enabled()) {
            if (!heard_.isEmpty()) WireTrace::unframed(heard_, WireTrace::cause(reply.failure));
            if (more && outcome != Outcome::Final)
                WireTrace::retry(attempt + 2, attempts, WireTrace::cause(reply.failure));
        }
        switch (outcome) {
        case Outcome::Answered:
        case Outcome::Final:
            return reply;
        case Outcome::Damaged:
            damage = reply;
            break;
        case Outcome::Silent:
            break;
        }
    }
    if (damage.failure != Failure::None) return damage;
    if (reply.failure == Failure::None) fail(reply, Failure::NoAnswer);
    return reply;
}

Exchange::Outcome Exchange::awaitReply(uint8_t address, uint8_t command, uint32_t sequence, Reply &reply)
{
    Frame::Decoder decoder;
    QByteArray chunk;
    bool started = false;
    // A peer that keeps sending without ever completing our reply must not hold the caller: the
    // byte limit leaves room for the longest legal reply and a late one before it, the deadline for
    // the longest legal reply at the line's rate, however slowly the bytes come.
    const qint64 longest = Frame::OverheadSize + Frame::MaxPayload;
    const qint64 byteLimit = 3 * longest;
    const int deadlineMs = attemptDeadlineMs();
    qint64 received = 0, othersSeen = 0;
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        chunk.clear();
        const qint64 left = deadlineMs - clock.elapsed();
        if (left <= 0) {
            if (!started) {
                fail(reply, Failure::NoAnswer);
                return Outcome::Silent;
            }
            ++badFrames_;
            fail(reply, Failure::TooSlow);
            lateReplyOnLine_ = true;
            learnRate(received, clock.elapsed());
            return Outcome::Final;  // the terminal is sending, but no answer in time: asking again would not help
        }
        const int wait =
            int(std::min<qint64>(left, started ? settings_.interByteTimeoutMs : settings_.responseTimeoutMs));
        const int n = channel_.readSome(chunk, wait);
        if (n < 0) {
            failOnLine(reply);
            return Outcome::Final;  // a closed line or an abandoned call: retrying is pointless
        }
        if (n == 0) {
            if (wait == left) continue;  // the deadline, not a silence, ended the wait
            if (!started) {
                fail(reply, Failure::NoAnswer);
                return Outcome::Silent;
            }
            ++badFrames_;
            // Whole frames that were not ours and nothing left over: a reply to someone else (another
            // sequence, address or command), not ours cut short.
            if (othersSeen > 0 && decoder.pendingBytes() == 0)
                fail(reply, Failure::NotOurs);
            else
                fail(reply, Failure::CutShort);
            return Outcome::Damaged;
        }
        started = true;
        bytesReceived_ += n;
        received += n;
        decoder.feed(chunk);
        if (WireTrace::enabled()) heard_ += chunk;
        Frame::Message m;
        while (decoder.next(m)) {
            if (WireTrace::enabled())
                WireTrace::received(m,
                                    m.address == address && m.sequence == sequence ? QStringLiteral("ours")
                                                                                   : QStringLiteral("not ours"));
            if (m.command == (Command::Push | Frame::ReplyBit)) {
                holdPush(m);
                continue;
            }
            // A late reply to an earlier try, or another terminal on the same line: not ours.
            if (m.address != address || m.sequence != sequence || m.command != (command | Frame::ReplyBit)) {
                ++othersSeen;
                continue;
            }
            if (m.payload.isEmpty()) {  // ours but without its status byte: ask again at once
                ++badFrames_;
                fail(reply, Failure::Invalid);
                return Outcome::Damaged;
            }
            lastReply_.start();
            reply.answered = true;
            reply.failure = Failure::None;
            reply.lineError.clear();
            reply.status = ReplyStatus(uint8_t(m.payload[0]));
            reply.data = m.payload.mid(1);
            // What came after our reply can only be pushes, whole or begun.
            for (Frame::Message after; decoder.next(after);)
                if (after.command == (Command::Push | Frame::ReplyBit)) holdPush(after);
            leftover_ = decoder.pending();
            return Outcome::Answered;
        }
        if (decoder.corruptFrames() > 0 && looksLikeOurs(decoder.lastCorrupt(), address, command, sequence)) {
            // Our reply arrived damaged; the next attempt flushes whatever follows it.
            lastReply_.start();
            badFrames_ += decoder.corruptFrames();
            fail(reply, Failure::Damaged);
            return Outcome::Damaged;
        }
        if (received > byteLimit) {
            ++badFrames_;
            fail(reply, Failure::Invalid);
            return Outcome::Damaged;
        }
    }
}
