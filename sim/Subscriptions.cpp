#include "sim/Subscriptions.h"

#include "sim/Faults.h"
#include "sim/Terminal.h"

#include "attlink/protocol/BigEndian.h"
#include "attlink/protocol/BlockHeaders.h"
#include "attlink/protocol/RecordBlock.h"

#include <QRandomGenerator>
#include <QTimer>

Subscriptions::Subscriptions(TerminalAt terminalAt, Send send, Faults &faults, QObject *parent)
    : QObject(parent), terminalAt_(std::move(terminalAt)), send_(std::move(send)), faults_(faults),
      resend_(new QTimer(this))
{
    resend_->setInterval(ResendMs / 4);
    connect(resend_, &QTimer::timeout, this, &Subscriptions::resendLate);
}

Subscriptions::~Subscriptions() { endAll(); }

void Subscriptions::endAll()
{
    for (Subscription &s : subscriptions_) s.terminal->unwatchAppends(s.watcher);
    subscriptions_.clear();
}

QByteArray Subscriptions::subscribe(Terminal &terminal, const QByteArray &payload)
{
    QByteArray reply(1, char(ReplyStatus::BadRequest));
    if (payload.size() != 8) return reply;
    const int address = terminal.address;
    // Subscribing again replaces the subscription: the host starts over from the serial it names.
    if (const auto old = subscriptions_.constFind(address); old != subscriptions_.cend())
        old->terminal->unwatchAppends(old->watcher);
    Subscription s;
    s.terminal = &terminal;
    s.acked = BigEndian::read<quint64>(payload.constData());
    s.sequence = QRandomGenerator::global()->generate();
    s.watcher = terminal.watchAppends([this, address] { pushNext(address); });
    subscriptions_.insert(address, s);
    if (!resend_->isActive()) resend_->start();
    // After the reply has gone: the host reads its answer before the first push.
    QTimer::singleShot(0, this, [this, address] { pushNext(address); });
    reply[0] = char(ReplyStatus::Ok);
    BigEndian::append<quint64>(reply, terminal.lastSerial);
    return reply;
}

void Subscriptions::pushNext(int address, bool gapAllowed)
{
    const auto it = subscriptions_.find(address);
    if (it == subscriptions_.end() || it->inFlight) return;
    Subscription &s = *it;
    Terminal &t = *s.terminal;
    if (t.address != address) {  // readdressed: the host must subscribe again under the new address
        t.unwatchAppends(s.watcher);
        subscriptions_.erase(it);
        return;
    }
    quint64 from = qMax(s.acked + 1, t.records.isEmpty() ? t.lastSerial + 1 : t.firstSerial());
    if (t.pushFault == Terminal::PushFault::Repeat && s.acked >= t.firstSerial() && !t.records.isEmpty()) {
        from = s.acked;  // a record the host already took, pushed again as if new
        t.pushFault = Terminal::PushFault::None;
    } else if (t.pushFault == Terminal::PushFault::Gap && gapAllowed && from <= t.lastSerial) {
        // The record to leave out needs one to push after it: a lone one waits for it, at most a
        // resend's time, then goes as usual and the fault waits for the next push.
        if (from + 1 > t.lastSerial) {
            if (!s.gapWait.isValid()) s.gapWait.start();
            return;
        }
        ++from;  // one record left out: the host must fetch it
        t.pushFault = Terminal::PushFault::None;
    }
    s.gapWait.invalidate();
    if (from > t.lastSerial) return;
    const qsizetype count = qsizetype(qMin<quint64>(t.lastSerial - from + 1, MaxRecordsPerPush));
    std::vector<PackedRecord> packed(static_cast<size_t>(count));
    for (qsizetype i = 0; i < count; ++i) {
        const quint64 serial = from + quint64(i);
        const Terminal::Record &r = t.records[qsizetype(serial - t.firstSerial())];
        packed[size_t(i)] = {serial, r.card, r.when, r.flag};
    }
    BlockHeaders::SinceReply h;
    h.newestSerial = t.lastSerial;
    h.remaining = uint32_t(t.lastSerial - from + 1);
    QByteArray payload(1, char(ReplyStatus::Ok));
    payload += BlockHeaders::encode(h) + RecordBlock::encode(packed.data(), count);
    s.sentUpTo = from + quint64(count) - 1;
    s.frame = Frame::encode({uint8_t(address), uint8_t(Command::Push | Frame::ReplyBit), ++s.sequence, payload});
    s.inFlight = true;
    transmit(s);
}

void Subscriptions::transmit(Subscription &s)
{
    s.sentAt.start();
    // The line's faults reach pushes as they reach replies: a lost push is sent again.
    if (faults_.dropNext()) return;
    QByteArray frame = s.frame;
    faults_.maybeCorrupt(frame);
    send_(frame);
}

void Subscriptions::acknowledged(const Frame::Message &ack)
{
    const auto it = subscriptions_.find(ack.address);
    if (it == subscriptions_.end() || !it->inFlight || ack.sequence != it->sequence || ack.payload.size() != 8) return;
    if (BigEndian::read<quint64>(ack.payload.constData()) != it->sentUpTo) return;
    it->acked = qMax(it->acked, it->sentUpTo);
    it->inFlight = false;
    it->frame.clear();
    pushNext(ack.address);
}

void Subscriptions::resendLate()
{
    for (auto it = subscriptions_.begin(); it != subscriptions_.end(); ++it) {
        if (it->inFlight && it->sentAt.elapsed() >= ResendMs) transmit(*it);
        if (!it->inFlight && it->gapWait.isValid() && it->gapWait.elapsed() >= ResendMs) pushNext(it.key(), false);
    }
}
