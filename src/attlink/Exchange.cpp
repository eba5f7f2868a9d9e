#include "attlink/Exchange.h"

#include "attlink/WireTrace.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QThread>

#include <algorithm>

namespace {
const QString Disconnected = QStringLiteral("连接已断开");

// Whether a frame that failed its CRC was most likely our reply: one damaged byte leaves at least
// two of the three header fields intact.
bool looksLikeOurs(const Frame::Message &h, uint8_t address, uint8_t command, uint32_t sequence)
{
    return (h.address == address) + (h.command == (command | Frame::ReplyBit)) + (h.sequence == sequence) >= 2;
}
}  // namespace

Exchange::Reply Exchange::request(uint8_t address, uint8_t command, const QByteArray &payload)
{
    ++requests;
    Reply reply = withRetries(address, command, payload);
    lastAnswered = reply.answered;
    lastError = reply.error;
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
    const qint64 wait = turnaroundMs_ - lastReply_.elapsed();
    if (wait <= 0) return;
    ++turnaroundWaits;
    QThread::msleep(ulong(wait));
}

Exchange::Reply Exchange::withRetries(uint8_t address, uint8_t command, const QByteArray &payload)
{
    Reply reply;
    const int attempts = 1 + settings_.retries;
    const uint32_t seq = nextSequence();
    const QByteArray frame = Frame::encode({address, command, seq, payload});
    if (frame.isEmpty()) { reply.error = QStringLiteral("数据过长"); return reply; }
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (!channel_.isOpen()) { reply.error = QStringLiteral("端口未打开"); return reply; }
        if (attempt > 0) ++retriesUsed;
        guardTurnaround();
        channel_.discardInput();
        if (!channel_.writeAll(frame, settings_.responseTimeoutMs)) {
            reply.error = channel_.lastError();
            if (!channel_.isOpen()) break;
            if (WireTrace::enabled() && attempt + 1 < attempts) WireTrace::retry(attempt + 2, attempts, reply.error);
            continue;
        }
        bytesSent += frame.size();
        if (WireTrace::enabled()) WireTrace::sent({address, command, seq, payload}, frame, attempt + 1);
        heard_.clear();
        if (awaitReply(address, command, seq, reply)) return reply;
        if (WireTrace::enabled() && !heard_.isEmpty()) WireTrace::unframed(heard_, reply.error);
        if (reply.error == Disconnected) break;  // retrying a closed line is pointless
        if (WireTrace::enabled() && attempt + 1 < attempts) WireTrace::retry(attempt + 2, attempts, reply.error);
    }
    if (reply.error.isEmpty()) reply.error = QStringLiteral("终端无应答");
    if (WireTrace::enabled()) WireTrace::gaveUp(reply.error);
    return reply;
}

bool Exchange::awaitReply(uint8_t address, uint8_t command, uint32_t sequence, Reply &reply)
{
    Frame::Decoder decoder;
    QByteArray chunk;
    bool started = false;
    // A peer that keeps sending without ever completing our reply must not hold the caller: the
    // limits leave room for the longest legal reply (and a late one before it) at the configured rate.
    const qint64 longest = Frame::OverheadSize + Frame::MaxPayload;
    const qint64 byteLimit = 3 * longest;
    const qint64 timeLimitMs = qint64(settings_.responseTimeoutMs) * 4
                               + byteLimit * 10 * 1000 / std::max(settings_.baud, 1200);
    qint64 received = 0;
    QElapsedTimer total;
    total.start();
    for (;;) {
        chunk.clear();
        const int n = channel_.readSome(chunk, started ? settings_.interByteTimeoutMs : settings_.responseTimeoutMs);
        if (n < 0) { reply.error = channel_.lastError(); return false; }
        if (n == 0) {
            reply.error = QStringLiteral("终端无应答");
            if (started) ++badFrames;  // a reply cut short or garbage only
            return false;
        }
        started = true;
        bytesReceived += n;
        received += n;
        decoder.feed(chunk);
        if (WireTrace::enabled()) heard_ += chunk;
        Frame::Message m;
        while (decoder.next(m)) {
            if (WireTrace::enabled()) WireTrace::received(m, m.address == address && m.sequence == sequence ? QStringLiteral("ours") : QStringLiteral("not ours"));
            // A late reply to an earlier try, or another terminal on the same line: not ours.
            if (m.address != address || m.sequence != sequence || m.command != (command | Frame::ReplyBit))
                continue;
            if (m.payload.isEmpty()) {  // ours but without its status byte: ask again at once
                ++badFrames;
                reply.error = QStringLiteral("应答无效");
                return false;
            }
            lastReply_.start();
            reply.answered = true;
            reply.status = ReplyStatus(uint8_t(m.payload[0]));
            reply.data = m.payload.mid(1);
            return true;
        }
        if (decoder.corruptFrames() > 0 && looksLikeOurs(decoder.lastCorrupt(), address, command, sequence)) {
            // Our reply arrived damaged; the next attempt flushes whatever follows it.
            lastReply_.start();
            badFrames += decoder.corruptFrames();
            reply.error = QStringLiteral("应答校验错误");
            return false;
        }
        if (received > byteLimit || total.elapsed() > timeLimitMs) {
            ++badFrames;
            reply.error = QStringLiteral("应答无效");
            return false;
        }
    }
}
