// The collections of a terminal client: its identity, the records after a serial and their deletion
// (docs/protocol.md, "Incremental collection"), and the record and roster blocks of a packet range.
#include "attlink/TerminalClient.h"

#include "attlink/BlockRangeCheck.h"
#include "attlink/Exchange.h"
#include "attlink/LinkLog.h"
#include "attlink/WireTrace.h"
#include "attlink/protocol/BlockHeaders.h"
#include "attlink/protocol/Fields.h"

#include <QElapsedTimer>
#include <QRegularExpression>

namespace {

ClientResult damaged(const QString &why)
{
    return ClientResult::failed(LinkFailure::BadContent, QStringLiteral("damaged reply: ") + why);
}
// A terminal that does not know a command of protocol 2 has older firmware.
ClientResult protocol2(const ClientResult &r)
{
    if (r.error() != LinkFailure::UnknownCommand) return r;
    return r.withText(QStringLiteral("the terminal does not know the command (firmware without protocol 2)"));
}

// A block that does not decode; the text is the decoder's reason.
ClientResult badBlock(const QString &why)
{
    return ClientResult::failed(LinkFailure::BadBlock, QStringLiteral("damaged block: ") + why);
}

}  // namespace

ClientResult TerminalClient::identify(int address, TerminalIdentity &out)
{
    QByteArray data;
    const ClientResult r = protocol2(ask(address, Command::Identify, {}, &data));
    if (!r.ok()) return r;
    const QStringList f = Fields::split(data);
    if (f.size() < 6)
        return ClientResult::failed(
            LinkFailure::NotSupported,
            QStringLiteral("the terminal does not tell its identity (firmware without protocol 2)"));
    TerminalIdentity id;
    id.model = f[0];
    id.firmware = f[1];
    bool addressOk = false, serialOk = false;
    id.address = f[2].toInt(&addressOk);
    id.identity = f[3];
    id.clock = QDateTime(QDate::fromString(f[4].left(8), QStringLiteral("yyyyMMdd")),
                         QTime::fromString(f[4].mid(8), QStringLiteral("HHmmss")), Qt::UTC);
    id.lastSerial = f[5].toULongLong(&serialOk);
    static const QRegularExpression hex(QStringLiteral("^[0-9A-F]{1,32}$"));
    if (!QDate::fromString(id.firmware, QStringLiteral("yyyy-MM-dd")).isValid() || !addressOk || id.address < 0
        || id.address > 255 || !hex.match(id.identity).hasMatch() || f[4].size() != 14 || !id.clock.isValid()
        || !serialOk || id.model.isEmpty() || id.model.size() > 32 || !IdentityFields::readMemory(f, id))
        return ClientResult::failed(LinkFailure::BadContent,
                                    QStringLiteral("damaged identity in the terminal's reply"));
    out = id;
    return r;
}

int TerminalClient::recordsPerRequest() const
{
    // On TCP straight to the terminal a reply as large as a frame allows; on a serial line, or behind a
    // converter of known or observed rate, about a second of the line, so that a damaged or late
    // reply costs little to ask again.
    if (!exchange_) return RecordsPerPacket;
    if (tcp_ && settings_.tcpBaud == 0 && exchange_->lineBaud() >= Exchange::TcpAllowanceBaud)
        return 64 * RecordsPerPacket;
    return qBound(RecordsPerPacket, exchange_->lineBaud() / 9600 * RecordsPerPacket, 16 * RecordsPerPacket);
}

bool TerminalClient::askLessAfterSlowReply(int &asked, const QString &unit)
{
    // A reply that ran late while it kept coming: the exchange now allows for the rate it came at;
    // asking for less keeps each reply about a second of that line.
    const int fewer = qMin(recordsPerRequest(), asked / 2);
    if (!exchange_ || !exchange_->slowedDown() || fewer < RecordsPerPacket || fewer >= asked) return false;
    qCInfo(linkLog).noquote() << QStringLiteral(
                                     "a reply ran late at about %1 baud: asking for %2 %3 a request instead of %4")
                                     .arg(exchange_->lineBaud())
                                     .arg(fewer)
                                     .arg(unit)
                                     .arg(asked);
    if (WireTrace::enabled())
        WireTrace::note(QStringLiteral("asking for %1 %3 a request instead of %2").arg(fewer).arg(asked).arg(unit));
    asked = fewer;
    return true;
}

qint64 TerminalClient::collectionDeadlineMs(qint64 records) const
{
    // Four times what the records take on the line at about 8 bytes each, and a minute; an hour at
    // most, so that a terminal claiming billions of records cannot hold its line for days.
    if (settings_.collectionDeadlineS > 0) return qint64(settings_.collectionDeadlineS) * 1000;
    const qint64 lineMs = records * 80 * 1000 / (exchange_ ? exchange_->lineBaud() : Exchange::SlowestBaud);
    return qMin<qint64>(60000 + 4 * lineMs, 3600000);
}

ClientResult TerminalClient::recordsSince(int address, quint64 since, const RecordSink &sink, quint64 &lastSerial)
{
    skipped_ = {};
    lastSerial = since;
    int perRequest = recordsPerRequest();
    std::vector<PackedRecord> batch;
    SinceReplyCheck check;
    QElapsedTimer clock;
    clock.start();
    qint64 deadlineMs = 0, done = 0;
    for (quint64 last = since;;) {
        QByteArray data;
        const ClientResult r =
            request(address, Command::RecordsSince,
                    BlockHeaders::encode(BlockHeaders::SinceRequest{last, uint32_t(perRequest)}), &data);
        if (!r.ok() && askLessAfterSlowReply(perRequest, QStringLiteral("records"))) continue;
        if (!r.ok()) return protocol2(r);
        BlockHeaders::SinceReply h;
        QString why;
        if (!BlockHeaders::decode(data, h)) return damaged(QStringLiteral("short header"));
        if (!RecordBlock::decode(data.constData() + BlockHeaders::SinceReplySize,
                                 data.size() - BlockHeaders::SinceReplySize, batch, why))
            return badBlock(why);
        // What the terminal says must agree with itself and with what came before.
        why = check.accept(last, uint32_t(perRequest), h, batch);
        if (!why.isEmpty()) return damaged(why);
        skipped_ = check.gap();
        if (deadlineMs == 0) deadlineMs = collectionDeadlineMs(check.expected());
        if (batch.empty()) break;
        if (!sink(batch)) return ClientResult::failed(LinkFailure::Stopped);
        last = batch.back().serial;
        lastSerial = last;
        done += qint64(batch.size());
        report(done, qMax(done, check.expected()));
        // Records stored from the first reply on are left for the next collection.
        if (last >= check.target() || batch.size() == h.remaining) break;
        if (clock.elapsed() > deadlineMs)
            return ClientResult::failed(
                LinkFailure::Deadline,
                QStringLiteral("the collection did not end within %1 s (%2 of the %3 records held when it began)")
                    .arg(deadlineMs / 1000)
                    .arg(done)
                    .arg(check.expected()));
    }
    return {};
}

ClientResult TerminalClient::deleteRecordsUpTo(int address, quint64 upTo, qint64 &deleted)
{
    QByteArray data;
    const ClientResult r = protocol2(ask(address, Command::DeleteRecordsUpTo, {QString::number(upTo)}, &data));
    if (!r.ok()) return r;
    bool ok = false;
    const qint64 n = Fields::field(Fields::split(data), 0).toLongLong(&ok);
    if (!ok || n < 0) return damaged(QStringLiteral("no count"));
    // Serials start at 1: no terminal holds more records up to serial S than S.
    if (quint64(n) > upTo)
        return damaged(
            QStringLiteral("%1 records deleted, but at most %2 can have a serial up to %2").arg(n).arg(upTo));
    deleted = n;
    return r;
}

namespace {

// Restores the exchange's turn-around guard when a collection ends, however it ends.
struct TurnaroundGuard {
    Exchange &x;
    TurnaroundGuard(Exchange &e, int ms) : x(e) { x.setTurnaroundGuard(ms); }
    ~TurnaroundGuard() { x.setTurnaroundGuard(0); }
};

// Items in packets first..last of a terminal holding `total`.
qint64 itemsIn(qint64 total, int first, int last, int perPacket)
{
    const qint64 end = qMin<qint64>(total, qint64(last) * perPacket);
    return qMax<qint64>(0, end - qint64(first - 1) * perPacket);
}

}  // namespace

// What differs between the record and the roster blocks: the command, the items a packet holds, and
// how a reply's block is decoded and handed over.
struct TerminalClient::BlockKind {
    uint8_t command;
    int perPacket;
    // Decodes a reply's block: the item count, or -1 with `why` set.
    std::function<qint64(const char *data, qsizetype size, QString &why)> decode;
    // Whether the decoded items follow those before (false with `why`).
    std::function<bool(QString &why)> follows;
    std::function<bool()> deliver;  // hands the decoded items to the caller's sink
};

ClientResult TerminalClient::collectBlocks(int address, int first, int last, int pauseMs, const BlockKind &kind,
                                           qint64 &count)
{
    count = 0;
    if (first < 1 || last < first || last > 65535)
        return ClientResult::failed(LinkFailure::BadArgument, QStringLiteral("packet range not valid"));
    if (!exchange_) return ClientResult::failed(LinkFailure::NotOpen);
    const TurnaroundGuard guard(*exchange_, pauseMs);
    int span = qMax(1, recordsPerRequest() / RecordsPerPacket) * RecordsPerPacket;  // in records
    BlockRangeCheck check(kind.perPacket);
    int packet = first, lastPacket = last;
    qint64 done = 0;
    while (packet <= lastPacket) {
        const int asked = qMin(span / RecordsPerPacket, lastPacket - packet + 1);
        QByteArray data;
        const ClientResult r =
            request(address, kind.command,
                    BlockHeaders::encode(BlockHeaders::RangeRequest{uint16_t(packet), uint16_t(asked)}), &data);
        if (!r.ok() && askLessAfterSlowReply(span, QStringLiteral("items"))) continue;
        if (!r.ok()) return r;
        BlockHeaders::RangeReply h;
        QString why;
        if (!BlockHeaders::decode(data, h)) return damaged(QStringLiteral("short header"));
        const qint64 items = kind.decode(data.constData() + BlockHeaders::RangeReplySize,
                                         data.size() - BlockHeaders::RangeReplySize, why);
        if (items < 0) return badBlock(why);
        switch (check.accept(h, packet, asked, items)) {
        case BlockRangeCheck::Fault::Malformed:
            return damaged(QStringLiteral("the packets do not match the request or the total"));
        case BlockRangeCheck::Fault::Changed:
            return ClientResult::failed(LinkFailure::Changed);
        case BlockRangeCheck::Fault::None:
            break;
        }
        if (!kind.follows(why)) return damaged(why);
        if (!kind.deliver()) return ClientResult::failed(LinkFailure::Stopped);
        done += items;
        count = done;
        report(done, itemsIn(check.total(), first, last, kind.perPacket));
        lastPacket = qMin<int>(last, h.totalPackets);  // the terminal may hold fewer packets than asked for
        if (h.packets == 0) break;
        packet += h.packets;
    }
    if (first == 1 && last == 65535 && done != qMax<qint64>(0, check.total()))
        return ClientResult::failed(LinkFailure::Changed);
    return {};
}

ClientResult TerminalClient::recordBlocks(int address, int first, int last, int pauseMs, const RecordSink &sink,
                                          qint64 &count)
{
    std::vector<PackedRecord> batch;
    quint64 nextSerial = 0;  // the serial the next packet starts at; 0 before the first
    const BlockKind kind{Command::RecordBlocks, RecordsPerPacket,
                         [&](const char *data, qsizetype size, QString &why) -> qint64 {
                             return RecordBlock::decode(data, size, batch, why) ? qint64(batch.size()) : -1;
                         },
                         [&](QString &why) {
                             // The records a terminal holds carry consecutive serials: a packet starts where the one
                             // before ended, and a packet repeating an earlier one's records is no packet of the range.
                             for (const PackedRecord &rec : batch) {
                                 if (nextSerial != 0 && rec.serial != nextSerial) {
                                     why = QStringLiteral("serial %1 where %2 was due").arg(rec.serial).arg(nextSerial);
                                     return false;
                                 }
                                 nextSerial = rec.serial + 1;
                             }
                             return true;
                         },
                         [&] { return sink(batch); }};
    return collectBlocks(address, first, last, pauseMs, kind, count);
}

ClientResult TerminalClient::rosterBlocks(int address, int first, int last, int pauseMs, const RosterSink &sink,
                                          qint64 &count)
{
    std::vector<PackedRosterEntry> batch;
    const BlockKind kind{Command::RosterBlocks, RosterPerPacket,
                         [&](const char *data, qsizetype size, QString &why) -> qint64 {
                             return RosterBlock::decode(data, size, batch, why) ? qint64(batch.size()) : -1;
                         },
                         [](QString &) { return true; }, [&] { return sink(batch); }};
    return collectBlocks(address, first, last, pauseMs, kind, count);
}
