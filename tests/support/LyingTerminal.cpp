#include "support/LyingTerminal.h"

#include "attlink/protocol/BlockHeaders.h"
#include "attlink/protocol/Fields.h"
#include "attlink/protocol/RecordBlock.h"
#include "attlink/protocol/RosterBlock.h"
#include "common/TextCodec.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

QByteArray LyingTerminal::controlParameters()
{
    return "\x1b]0;owned\x07\x1b[2J" + TextCodec::encode(QStringLiteral("继电器延时")) + "0005\rFORGED\x1b[31m";
}

namespace {

// One packet a reply, whatever was asked: the link must take what comes.
QByteArray header(uint32_t total, uint16_t packets, uint16_t packet)
{
    BlockHeaders::RangeReply h;
    h.totalItems = total;
    h.totalPackets = packets;
    h.firstPacket = packet;
    h.packets = 1;
    return BlockHeaders::encode(h);
}

uint16_t packetsFor(int total, int per) { return uint16_t((total + per - 1) / per); }

bool sendAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t w = ::send(fd, bytes.constData() + done, size_t(bytes.size() - done), MSG_NOSIGNAL);
        if (w <= 0) return false;
        done += w;
    }
    return true;
}

}  // namespace

LyingTerminal::LyingTerminal(Mode mode, int records, int roster) : mode_(mode), records_(records), roster_(roster)
{
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0
        || ::listen(listener_, 4) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr *>(&a), &len) != 0)
        qFatal("LyingTerminal: cannot listen on 127.0.0.1");
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] { serve(); });
}

LyingTerminal::~LyingTerminal()
{
    stop_ = true;
    thread_.join();
    ::close(listener_);
}

WireRecord LyingTerminal::record(int i)
{
    WireRecord r;
    r.card = 0x00100000u + uint32_t(i);
    r.when = QDateTime(QDate(2009, 3, 2), QTime(7, 30), Qt::UTC).addSecs(qint64(i) * 60);
    r.flag = "0000";
    return r;
}

QStringList LyingTerminal::rosterEntry(int i)
{
    return {RecordWire::cardHex(0x00200000u + uint32_t(i)), QStringLiteral("%1").arg(i + 1, 8, 10, QLatin1Char('0')),
            QStringLiteral("张三%1").arg(i)};
}

void LyingTerminal::serve()
{
    while (!stop_) {
        pollfd p{listener_, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        Frame::Decoder decoder;
        char buf[4096];
        while (!stop_) {
            pollfd q{fd, POLLIN, 0};
            if (::poll(&q, 1, 50) <= 0) continue;
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n <= 0) break;
            decoder.feed(QByteArray(buf, int(n)));
            Frame::Message m;
            while (decoder.next(m)) answer(fd, m);
        }
        ::close(fd);
    }
}

void LyingTerminal::answer(int fd, const Frame::Message &request)
{
    ++requests_;
    if (request.command == Command::RecordBlocks || request.command == Command::RosterBlocks) ++packetRequests_;
    if (request.command == Command::DeleteRecordsUpTo) ++deleteRequests_;
    if (mode_ == Mode::Trickle) {
        trickle(fd);
        return;
    }
    const uint32_t sequence = request.sequence + (mode_ == Mode::WrongSequence ? 1 : 0);
    QByteArray frame =
        Frame::encode({request.address, uint8_t(request.command | Frame::ReplyBit), sequence, replyPayload(request)});
    if (mode_ == Mode::DamagedReplies) frame[frame.size() - 1] = char(frame[frame.size() - 1] ^ 0x5A);
    sendAll(fd, frame);
}

void LyingTerminal::trickle(int fd)
{
    // Bytes that never make a frame, each well inside the inter-byte timeout, until the link gives up
    // (closes the connection) or the test ends.
    while (!stop_) {
        if (!sendAll(fd, QByteArray(1, '\x11'))) return;
        pollfd q{fd, POLLIN, 0};
        if (::poll(&q, 1, 150) > 0) {
            char junk[256];
            if (::read(fd, junk, sizeof junk) <= 0) return;
        }
    }
}

QByteArray LyingTerminal::replyPayload(const Frame::Message &request)
{
    const QByteArray ok(1, char(ReplyStatus::Ok));
    const int packet =
        request.payload.size() >= 2 ? (uint8_t(request.payload[0]) << 8) | uint8_t(request.payload[1]) : 0;
    switch (request.command) {
    case Command::RecordCount:
        return ok + QByteArray::number(records_);
    case Command::RosterCount:
        return ok + QByteArray::number(roster_);
    case Command::RecordBlocks:
        return ok + recordPacket(packet);
    case Command::RosterBlocks:
        return ok + rosterPacket(packet);
    case Command::Identify:
        // A model that tries to forge the lines after it and retitle the user's terminal.
        if (mode_ == Mode::ControlText)
            return ok
                + Fields::join({QStringLiteral("VX\nlast-serial 0\x1b]0;x\x07"), QStringLiteral("2009-03-05"),
                                QString::number(Address), QStringLiteral("5A3C0F1E22B14D07"),
                                QStringLiteral("20261209080000"), QStringLiteral("5")});
        return ok
            + Fields::join({QStringLiteral("VX730K"), QStringLiteral("2009-01-01"), QString::number(Address),
                            QStringLiteral("11A0%1").arg(port_, 4, 16, QLatin1Char('0')).toUpper(),
                            QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddHHmmss")),
                            QString::number(mode_ == Mode::EndlessSince ? ~quint64(0) : quint64(records_))});
    case Command::RecordsSince:
        return ok + recordsSince(request.payload);
    case Command::DeleteRecordsUpTo: {
        const qint64 upTo = Fields::field(Fields::split(request.payload), 0).toLongLong();
        if (mode_ == Mode::DeletesTooMany) return ok + QByteArray::number(records_ + 2);
        return ok + QByteArray::number(qBound<qint64>(0, upTo, qint64(records_)));
    }
    case Command::GetStorage:
        if (mode_ == Mode::StorageZero) return ok + "0";
        if (mode_ == Mode::StorageWraps) return ok + "65537";
        if (mode_ == Mode::StorageOutOfRange) return ok + "99";
        return ok + "2";
    case Command::ReadParameters:
        if (mode_ == Mode::ControlText) return ok + controlParameters();
        return ok + TextCodec::encode(QStringLiteral("继电器延时0005 打卡间隔001E 模式0000"));
    case Command::IssueCards:
    case Command::WithdrawCards: {
        // As many Ok results as entries, less one when lying.
        const int n =
            request.payload.size() >= 2 ? (uint8_t(request.payload[0]) << 8) | uint8_t(request.payload[1]) : 0;
        const int answered = qMax(0, mode_ == Mode::BatchShortResults ? n - 1 : n);
        return ok + char(answered >> 8) + char(answered) + QByteArray(answered, char(ReplyStatus::Ok));
    }
    case Command::ClearLog:
    case Command::TimeChangeLog:
        if (mode_ == Mode::ControlText) return ok + "3,2009-03-05 08:07:06\x1b[2J\r;\x7f";
        return ok;
    default:
        return ok;
    }
}

QByteArray LyingTerminal::recordPacket(int packet)
{
    int total = records_;
    int first = (packet - 1) * RecordsPerPacket;
    int count = qBound(0, total - first, RecordsPerPacket);
    uint16_t packets = packetsFor(total, RecordsPerPacket);
    int offset = 0;  // index of the first record of the terminal's current memory
    switch (mode_) {
    case Mode::RecordsClearedMidway:
        // 500 records when packet 1 is read; then another client clears the terminal and 300 new
        // records are punched: packet 2 comes from the new memory.
        total = packet == 1 ? 500 : 300;
        packets = packetsFor(total, RecordsPerPacket);
        count = qBound(0, total - first, RecordsPerPacket);
        if (packet > 1) offset = 1000;
        break;
    case Mode::RecordsWrongItemCount:
        total = 300;
        packets = packetsFor(total, RecordsPerPacket);
        count = packet == 1 ? 100 : qBound(0, total - first, RecordsPerPacket);
        break;
    case Mode::AbsurdPacketCount:
        total = 5;
        packets = 65535;
        count = packet == 1 ? 5 : 0;
        break;
    case Mode::RepeatedPackets:
        offset = -first;
        break;  // every packet from the terminal's first record
    default:
        break;
    }
    std::vector<PackedRecord> packed;
    for (int i = 0; i < count; ++i) {
        const WireRecord r = record(offset + first + i);
        packed.push_back(
            {quint64(offset + first + i + 1), r.card, PackedTime::fromDateTime(r.when), {'0', '0', '0', '0'}});
    }
    return header(uint32_t(total), packets, uint16_t(packet))
        + RecordBlock::encode(packed.data(), qsizetype(packed.size()));
}

QByteArray LyingTerminal::rosterPacket(int packet)
{
    const int first = (packet - 1) * RosterPerPacket;
    const int count = qBound(0, roster_ - first, RosterPerPacket);
    const bool lies = mode_ == Mode::RosterCrLfInName || mode_ == Mode::RosterCommaInJobNumber
        || mode_ == Mode::RosterControlBytes || mode_ == Mode::RosterLongName;
    std::vector<PackedRosterEntry> packed;
    for (int i = 0; i < count - (lies && count > 0 ? 1 : 0); ++i) {
        const QStringList e = rosterEntry(first + i);
        packed.push_back({0x00200000u + uint32_t(first + i), e[1].toLatin1(), TextCodec::encode(e[2])});
    }
    QByteArray block = RosterBlock::encode(packed.data(), qsizetype(packed.size()));
    if (lies && count > 0) {
        // The last entry carries the lie, written byte by byte (the encoder would refuse it).
        QByteArray job = "00000004", name = TextCodec::encode(QStringLiteral("李四"));
        switch (mode_) {
        case Mode::RosterCrLfInName:
            name = "Li\r\n00DEAD00,99999999,Forged";
            break;
        case Mode::RosterCommaInJobNumber:
            job = "12,34";
            break;
        case Mode::RosterControlBytes:
            name = QByteArray("Bad\0\x1b[2J", 8);
            break;
        case Mode::RosterLongName:
            name = QByteArray(255, 'N');
            break;
        default:
            break;
        }
        block[0] = char(count >> 8);
        block[1] = char(count);
        const uint32_t card = 0x00200000u + uint32_t(first + count - 1);
        for (int shift = 24; shift >= 0; shift -= 8) block += char(card >> shift);
        block += char(job.size()) + job + char(name.size()) + name;
    }
    return header(uint32_t(roster_), packetsFor(roster_, RosterPerPacket), uint16_t(packet)) + block;
}

QByteArray LyingTerminal::recordsSince(const QByteArray &request) const
{
    BlockHeaders::SinceRequest q;
    if (!BlockHeaders::decode(request, q)) return {};
    // The records held: serials oldest..newest.
    quint64 newest = quint64(records_), oldest = 1;
    if (mode_ == Mode::EndlessSince) {
        newest = ~quint64(0);
        oldest = newest - 0xFFFFFFFFull + 1;
    }
    quint64 from = qMax(q.since + 1, oldest);
    const quint64 remaining = newest >= from ? newest - from + 1 : 0;
    if (mode_ == Mode::SinceSkips) from += 3;
    const quint64 count = qMin<quint64>(qMin<quint64>(q.maxRecords, 1024), newest >= from ? newest - from + 1 : 0);
    std::vector<PackedRecord> packed;
    for (quint64 i = 0; i < count; ++i) {
        const WireRecord r = record(int((from + i - 1) % 100000));
        packed.push_back({from + i, r.card, PackedTime::fromDateTime(r.when), {'0', '0', '0', '0'}});
    }
    BlockHeaders::SinceReply h;
    h.newestSerial = newest;
    h.remaining = uint32_t(qMin<quint64>(remaining, 0xFFFFFFFFull));
    return BlockHeaders::encode(h) + RecordBlock::encode(packed.data(), qsizetype(packed.size()));
}
