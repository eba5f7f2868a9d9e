#include "attlink/protocol/RosterBlock.h"

#include "attlink/protocol/BigEndian.h"

namespace RosterBlock {

namespace {

constexpr uint8_t DigitsMark = 0x80;

bool allDigits(const QByteArray &s)
{
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return !s.isEmpty();
}

}  // namespace

QByteArray encode(const PackedRosterEntry *e, qsizetype n)
{
    QByteArray out;
    out.reserve(2 + n * 16);
    BigEndian::append(out, uint16_t(n));
    for (qsizetype i = 0; i < n; ++i) {
        BigEndian::append(out, e[i].card);
        const QByteArray job = e[i].jobNo.left(MaxJobBytes);
        if (allDigits(job)) {
            // Job numbers are mostly zero-padded digits: 5 bytes instead of up to 9.
            out.append(char(DigitsMark | job.size()));
            BigEndian::append(out, uint32_t(job.toUInt()));
        } else {
            out.append(char(job.size())).append(job);
        }
        const QByteArray name = e[i].name.left(MaxNameBytes);
        out.append(char(name.size())).append(name);
    }
    return out;
}

bool decode(const char *data, qsizetype size, std::vector<PackedRosterEntry> &out, QString &why)
{
    auto fail = [&](const char *what) {
        why = QString::fromLatin1(what);
        return false;
    };
    const auto *p = reinterpret_cast<const uint8_t *>(data);
    if (size < 2) return fail("roster block shorter than its count");
    const int count = BigEndian::read<uint16_t>(p);
    // Each entry needs at least 6 bytes: a count larger than the bytes allow is refused before any
    // allocation.
    if (qsizetype(count) * 6 > size - 2) return fail("roster block shorter than its count needs");
    out.resize(size_t(count));
    qsizetype at = 2;
    auto need = [&](qsizetype n) { return size - at >= n; };
    for (int i = 0; i < count; ++i) {
        PackedRosterEntry &e = out[size_t(i)];
        if (!need(5)) return fail("roster entry cut short");
        e.card = BigEndian::read<uint32_t>(p + at);
        const uint8_t job = p[at + 4];
        at += 5;
        if (job & DigitsMark) {
            const int digits = job & ~DigitsMark;
            if (digits < 1 || digits > MaxJobBytes || !need(4)) return fail("bad job number");
            const uint32_t v = BigEndian::read<uint32_t>(p + at);
            at += 4;
            const QByteArray text = QByteArray::number(v);
            if (text.size() > digits) return fail("job number longer than its digits");
            e.jobNo = QByteArray(digits - text.size(), '0') + text;
        } else {
            if (job > MaxJobBytes || !need(job)) return fail("bad job number");
            e.jobNo = QByteArray(data + at, job);
            at += job;
            for (char c : e.jobNo)
                if (c < 0x20 || c > 0x7E || c == ',') return fail("job number not printable");
        }
        if (!need(1)) return fail("roster entry cut short");
        const int nameLength = p[at++];
        if (nameLength > MaxNameBytes || !need(nameLength)) return fail("bad name length");
        e.name = QByteArray(data + at, nameLength);
        at += nameLength;
        for (char c : e.name)
            if (uint8_t(c) < 0x20 || c == 0x7F) return fail("control character in a name");
    }
    if (at != size) return fail("bytes after the roster block");
    return true;
}

}  // namespace RosterBlock
