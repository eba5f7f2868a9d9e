#include "attlink/protocol/RosterBatch.h"

namespace RosterBatch {

qsizetype issueBytes(const PackedRosterEntry &e)
{
    bool digits = !e.jobNo.isEmpty();
    for (char c : e.jobNo) digits = digits && c >= '0' && c <= '9';
    const qsizetype job = digits ? 4 : qMin<qsizetype>(e.jobNo.size(), RosterBlock::MaxJobBytes);
    return 4 + 1 + job + 1 + qMin<qsizetype>(e.name.size(), RosterBlock::MaxNameBytes);
}

QByteArray encodeWithdraw(const uint32_t *cards, qsizetype n)
{
    QByteArray out;
    out.reserve(CountBytes + n * WithdrawBytes);
    out.append(char(n >> 8)).append(char(n));
    for (qsizetype i = 0; i < n; ++i)
        out.append(char(cards[i] >> 24))
            .append(char(cards[i] >> 16))
            .append(char(cards[i] >> 8))
            .append(char(cards[i]));
    return out;
}

bool decodeWithdraw(const QByteArray &payload, std::vector<uint32_t> &cards)
{
    if (payload.size() < CountBytes) return false;
    const auto *p = reinterpret_cast<const uint8_t *>(payload.constData());
    const qsizetype n = (p[0] << 8) | p[1];
    if (payload.size() != CountBytes + n * WithdrawBytes) return false;
    cards.resize(size_t(n));
    for (qsizetype i = 0; i < n; ++i) {
        const uint8_t *c = p + CountBytes + i * WithdrawBytes;
        cards[size_t(i)] = uint32_t(c[0]) << 24 | uint32_t(c[1]) << 16 | uint32_t(c[2]) << 8 | c[3];
    }
    return true;
}

QByteArray encodeResults(const std::vector<ReplyStatus> &results)
{
    const qsizetype n = qsizetype(results.size());
    QByteArray out;
    out.reserve(CountBytes + n);
    out.append(char(n >> 8)).append(char(n));
    for (ReplyStatus s : results) out.append(char(s));
    return out;
}

bool decodeResults(const QByteArray &data, qsizetype expected, std::vector<ReplyStatus> &out, QString &why)
{
    const auto *p = reinterpret_cast<const uint8_t *>(data.constData());
    const qsizetype count = data.size() >= CountBytes ? (p[0] << 8) | p[1] : -1;
    if (count != expected || data.size() != CountBytes + count) {
        why = QStringLiteral("damaged reply: %1 results for %2 entries sent")
                  .arg(qMax<qsizetype>(count, 0))
                  .arg(expected);
        return false;
    }
    out.resize(size_t(count));
    for (qsizetype i = 0; i < count; ++i) {
        const auto s = ReplyStatus(p[CountBytes + i]);
        if (s != ReplyStatus::Ok && s != ReplyStatus::Refused && s != ReplyStatus::BadRequest) {
            why = QStringLiteral("damaged reply: result %1 of entry %2 is not a known one").arg(int(s)).arg(i + 1);
            return false;
        }
        out[size_t(i)] = s;
    }
    return true;
}

}  // namespace RosterBatch
