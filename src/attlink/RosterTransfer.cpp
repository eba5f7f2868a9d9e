#include "attlink/RosterTransfer.h"

#include "attlink/BlockRangeCheck.h"
#include "attlink/LinkFailure.h"
#include "attlink/protocol/BlockHeaders.h"
#include "attlink/protocol/Commands.h"
#include "attlink/protocol/RosterBatch.h"

namespace {

// Room for entries in a batch frame on TCP: the payload limit with a margin.
constexpr int TcpBatchBytes = 60000;

bool replyFailed(const Exchange &x, const Exchange::Reply &r, QString &error)
{
    if (!r.answered)
        error = LinkFailures::text(r.failure, x.lastDeadlineMs());
    else if (r.status == ReplyStatus::Unknown)
        error = QStringLiteral("the terminal does not know the batch roster commands (older firmware)");
    else if (r.status == ReplyStatus::BadRequest)
        error = QStringLiteral("the terminal rejected the request as malformed");
    else
        error = QStringLiteral("refused by the terminal");
    return false;
}

// Sends items [0, n) in batches of at most `budget` bytes each: `encode(from, count)` makes a request's
// payload, `bytesOf(i)` is item i's share of it.
template <typename BytesOf, typename Encode>
bool inBatches(Exchange &x, int address, uint8_t command, qsizetype n, int budget, BytesOf bytesOf, Encode encode,
               std::vector<ReplyStatus> &results, QString &error)
{
    results.clear();
    results.reserve(size_t(n));
    std::vector<ReplyStatus> answer;
    for (qsizetype from = 0; from < n;) {
        qsizetype count = 0, bytes = RosterBatch::CountBytes;
        while (from + count < n && count < RosterBatch::MaxEntries
               && (count == 0 || bytes + bytesOf(from + count) <= budget))
            bytes += bytesOf(from + count++);
        const Exchange::Reply r = x.request(uint8_t(address), command, encode(from, count));
        if (!r.ok()) return replyFailed(x, r, error);
        if (!RosterBatch::decodeResults(r.data, count, answer, error)) return false;
        results.insert(results.end(), answer.begin(), answer.end());
        from += count;
    }
    return true;
}

}  // namespace

namespace RosterTransfer {

Pace paceFor(bool tcp, int baud)
{
    if (tcp) return {64, TcpBatchBytes};
    return {qBound(1, baud / 9600, 16), qMax(256, baud / 10)};
}

bool read(Exchange &x, int address, const Pace &pace, std::vector<PackedRosterEntry> &out, QString &error)
{
    out.clear();
    BlockRangeCheck check(RosterPerPacket);
    std::vector<PackedRosterEntry> block;
    int packet = 1, lastPacket = 65535;
    while (packet <= lastPacket) {
        const int asked = qMin(pace.packetsPerRequest, lastPacket - packet + 1);
        const Exchange::Reply r =
            x.request(uint8_t(address), Command::RosterBlocks,
                      BlockHeaders::encode(BlockHeaders::RangeRequest{uint16_t(packet), uint16_t(asked)}));
        if (!r.ok()) return replyFailed(x, r, error);
        BlockHeaders::RangeReply h;
        QString why;
        if (!BlockHeaders::decode(r.data, h)
            || !RosterBlock::decode(r.data.constData() + BlockHeaders::RangeReplySize,
                                    r.data.size() - BlockHeaders::RangeReplySize, block, why)) {
            error = QStringLiteral("the terminal's roster reply is not valid")
                + (why.isEmpty() ? QString() : QStringLiteral(": ") + why);
            return false;
        }
        switch (check.accept(h, packet, asked, qint64(block.size()))) {
        case BlockRangeCheck::Fault::Malformed:
            error = QStringLiteral("the terminal's roster reply is not valid");
            return false;
        case BlockRangeCheck::Fault::Changed:
            error = QStringLiteral("the roster changed while it was read; run again");
            return false;
        case BlockRangeCheck::Fault::None:
            break;
        }
        out.insert(out.end(), std::make_move_iterator(block.begin()), std::make_move_iterator(block.end()));
        lastPacket = h.totalPackets;
        if (h.packets == 0) break;
        packet += h.packets;
    }
    if (qint64(out.size()) != qMax<qint64>(0, check.total())) {
        error = QStringLiteral("the roster changed while it was read; run again");
        return false;
    }
    return true;
}

bool issue(Exchange &x, int address, const Pace &pace, const std::vector<PackedRosterEntry> &entries,
           std::vector<ReplyStatus> &results, QString &error)
{
    return inBatches(
        x, address, Command::IssueCards, qsizetype(entries.size()), pace.batchBytes,
        [&](qsizetype i) { return RosterBatch::issueBytes(entries[size_t(i)]); },
        [&](qsizetype from, qsizetype n) { return RosterBlock::encode(entries.data() + from, n); }, results, error);
}

bool withdraw(Exchange &x, int address, const Pace &pace, const std::vector<uint32_t> &cards,
              std::vector<ReplyStatus> &results, QString &error)
{
    return inBatches(
        x, address, Command::WithdrawCards, qsizetype(cards.size()), pace.batchBytes,
        [](qsizetype) { return RosterBatch::WithdrawBytes; },
        [&](qsizetype from, qsizetype n) { return RosterBatch::encodeWithdraw(cards.data() + from, n); }, results,
        error);
}

}  // namespace RosterTransfer
