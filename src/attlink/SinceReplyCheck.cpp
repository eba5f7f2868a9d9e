#include "attlink/SinceReplyCheck.h"

void SinceReplyCheck::admit(quint64 first, quint64 last)
{
    if (gap_.count == 0) gap_.first = first;
    gap_.last = last;
    gap_.count += last - first + 1;
}

QString SinceReplyCheck::accept(quint64 after, quint32 asked, const BlockHeaders::SinceReply &h,
                                const std::vector<PackedRecord> &batch)
{
    const quint64 n = batch.size();
    if (n > asked || n > h.remaining) return QStringLiteral("more records than asked for or held");
    if (started_ && h.newestSerial < target_)
        return QStringLiteral("its newest serial went back from %1 to %2").arg(target_).arg(h.newestSerial);
    if (h.remaining > 0) {
        // Every serial from `after` + 1 to the newest is either held or gone: no more can be held.
        if (h.newestSerial < after || h.newestSerial - after < h.remaining)
            return QStringLiteral("it claims %1 records after serial %2 but its newest serial is %3")
                .arg(h.remaining)
                .arg(after)
                .arg(h.newestSerial);
        if (n == 0) return QStringLiteral("records held but none sent");
        const quint64 oldest = h.newestSerial - h.remaining + 1;
        if (batch.front().serial != oldest)
            return QStringLiteral("it sent serials from %1 where its count puts the oldest at %2")
                .arg(batch.front().serial)
                .arg(oldest);
        for (quint64 i = 1; i < n; ++i)
            if (batch[i].serial != oldest + i)
                return QStringLiteral("serial %1 follows %2").arg(batch[i].serial).arg(batch[i - 1].serial);
        if (oldest > after + 1) admit(after + 1, oldest - 1);
    } else if (h.newestSerial > after) {
        admit(after + 1, h.newestSerial);  // all of them deleted
    }
    if (!started_) {
        started_ = true;
        target_ = h.newestSerial;
        expected_ = h.remaining;
    }
    delivered_ += qint64(n);
    // What was held at the start and what the terminal stored since: nothing else may come.
    if (quint64(delivered_) > quint64(expected_) + (h.newestSerial - target_))
        return QStringLiteral("more records than it held and stored since (%1)").arg(delivered_);
    return {};
}
