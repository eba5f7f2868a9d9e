#include "attlink/Exchange.h"

#include <QElapsedTimer>

Exchange::Reply Exchange::request(uint8_t address, uint8_t command, const QByteArray &payload)
{
    Reply reply;
    const int attempts = 1 + settings_.retries;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (!channel_.isOpen()) { reply.error = QStringLiteral("端口未打开"); return reply; }
        if (attempt > 0) ++retriesUsed;
        channel_.discardInput();
        const uint8_t seq = ++sequence_;
        const QByteArray frame = Frame::encode({address, command, seq, payload});
        if (frame.isEmpty()) { reply.error = QStringLiteral("数据过长"); return reply; }
        if (!channel_.writeAll(frame, settings_.responseTimeoutMs)) {
            reply.error = channel_.lastError();
            if (!channel_.isOpen()) return reply;
            continue;
        }
        bytesSent += frame.size();
        if (awaitReply(address, command, seq, reply)) return reply;
        if (reply.error == QStringLiteral("连接已断开")) return reply;  // retrying a closed line is pointless
    }
    if (reply.error.isEmpty()) reply.error = QStringLiteral("终端无应答");
    return reply;
}

bool Exchange::awaitReply(uint8_t address, uint8_t command, uint8_t sequence, Reply &reply)
{
    Frame::Decoder decoder;
    QByteArray chunk;
    bool started = false;
    QElapsedTimer total;
    total.start();
    for (;;) {
        chunk.clear();
        const int n = channel_.readSome(chunk, started ? settings_.interByteTimeoutMs : settings_.responseTimeoutMs);
        if (n < 0) { reply.error = channel_.lastError(); return false; }
        if (n == 0) { reply.error = QStringLiteral("终端无应答"); badFrames += started; return false; }
        started = true;
        bytesReceived += n;
        decoder.feed(chunk);
        Frame::Message m;
        while (decoder.next(m)) {
            // A late reply to an earlier try, or another terminal on the same line: not ours.
            if (m.address != address || m.sequence != sequence || m.command != (command | Frame::ReplyBit)
                || m.payload.isEmpty())
                continue;
            reply.answered = true;
            reply.status = ReplyStatus(uint8_t(m.payload[0]));
            reply.data = m.payload.mid(1);
            return true;
        }
        if (decoder.droppedBytes() > 0) { ++badFrames; }
        // A stream of garbage must not hold the caller forever.
        if (total.elapsed() > qint64(settings_.responseTimeoutMs) * 4) { reply.error = QStringLiteral("应答无效"); return false; }
    }
}
