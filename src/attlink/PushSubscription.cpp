#include "attlink/PushSubscription.h"

#include "attlink/Exchange.h"
#include "attlink/TerminalClient.h"
#include "attlink/WireTrace.h"
#include "attlink/protocol/BigEndian.h"
#include "attlink/protocol/BlockHeaders.h"
#include "attlink/transport/FdChannel.h"

#include <QElapsedTimer>

namespace {
ClientResult damagedPush(const QString &why)
{
    return ClientResult::failed(LinkFailure::BadContent, QStringLiteral("damaged push: ") + why);
}
}  // namespace

ClientResult PushSubscription::subscribe(int address, quint64 after, quint64 &newest)
{
    QByteArray payload;
    BigEndian::append<quint64>(payload, after);
    QByteArray data;
    const ClientResult r = client_.request(address, Command::Subscribe, payload, &data);
    if (!r.ok()) return r;
    if (data.size() < 8) return ClientResult::failed(LinkFailure::BadContent, QStringLiteral("damaged reply: no serial"));
    newest = BigEndian::read<quint64>(data.constData());
    return r;
}

ClientResult PushSubscription::decode(const Frame::Message &m, Push &push) const
{
    push.address = m.address;
    push.sequence = m.sequence;
    push.records.clear();
    BlockHeaders::SinceReply h;
    const QByteArray data = m.payload.mid(1);
    if (m.payload.isEmpty() || ReplyStatus(uint8_t(m.payload[0])) != ReplyStatus::Ok || !BlockHeaders::decode(data, h))
        return damagedPush(QStringLiteral("no header"));
    QString why;
    if (!RecordBlock::decode(data.constData() + BlockHeaders::SinceReplySize, data.size() - BlockHeaders::SinceReplySize,
                             push.records, why))
        return damagedPush(why);
    if (push.records.empty()) return damagedPush(QStringLiteral("no record"));
    for (size_t i = 1; i < push.records.size(); ++i)
        if (push.records[i].serial != push.records[i - 1].serial + 1)
            return damagedPush(QStringLiteral("serials not consecutive"));
    if (push.records.front().serial == 0 || push.records.back().serial > h.newestSerial)
        return damagedPush(QStringLiteral("serial %1 beyond the newest, %2").arg(push.records.back().serial).arg(h.newestSerial));
    push.newest = h.newestSerial;
    return {};
}

bool PushSubscription::takeHeld(Push &push, ClientResult &result)
{
    if (held_.isEmpty()) return false;
    result = decode(held_.takeFirst(), push);
    return true;
}

ClientResult PushSubscription::next(int timeoutMs, Push &push, bool &got)
{
    got = false;
    Exchange *x = client_.exchange();
    FdChannel *channel = client_.channel();
    if (!x || !channel || !channel->isOpen()) return ClientResult::failed(LinkFailure::NotOpen);
    if (generation_ != channel->generation()) {  // a new connection: nothing of the old one counts
        generation_ = channel->generation();
        decoder_.clear();
        held_.clear();
    }
    // Pushes that came while a request awaited its reply, and the bytes after that reply.
    held_ += x->takePushes();
    decoder_.feed(x->takeLeftover());
    ClientResult r;
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        for (Frame::Message m; decoder_.next(m);)
            if (m.command == (Command::Push | Frame::ReplyBit)) held_.append(m);
        if (takeHeld(push, r)) {
            got = r.ok();
            if (got && WireTrace::enabled())
                WireTrace::note(QStringLiteral("push from address %1: serials %2 to %3")
                                    .arg(push.address)
                                    .arg(push.records.front().serial)
                                    .arg(push.records.back().serial));
            return r;
        }
        const qint64 left = timeoutMs - clock.elapsed();
        if (left <= 0) return {};
        QByteArray chunk;
        const int n = channel->readSome(chunk, int(left));
        if (n < 0) {
            const LinkFailure kind = channel->abandoned() ? LinkFailure::Abandoned : LinkFailure::Disconnected;
            return ClientResult::lineFailed(kind, channel->lastError());
        }
        if (n == 0) return {};
        decoder_.feed(chunk);
    }
}

ClientResult PushSubscription::acknowledge(const Push &push)
{
    FdChannel *channel = client_.channel();
    if (!channel || !channel->isOpen() || push.records.empty()) return ClientResult::failed(LinkFailure::NotOpen);
    QByteArray payload;
    BigEndian::append<quint64>(payload, push.records.back().serial);
    const QByteArray frame = Frame::encode({uint8_t(push.address), Command::PushAck, push.sequence, payload});
    if (!channel->writeAll(frame, client_.settings().responseTimeoutMs))
        return ClientResult::lineFailed(LinkFailure::Disconnected, channel->lastError());
    return {};
}
