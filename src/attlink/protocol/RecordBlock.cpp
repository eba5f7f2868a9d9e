#include "attlink/protocol/RecordBlock.h"

#include "attlink/protocol/BitStream.h"

#include <cstring>

namespace RecordBlock {

namespace {

void putU16(QByteArray &b, uint32_t v) { b.append(char(v >> 8)).append(char(v)); }
void putU32(QByteArray &b, uint32_t v)
{
    putU16(b, v >> 16);
    putU16(b, v & 0xFFFF);
}
void putU64(QByteArray &b, uint64_t v)
{
    putU32(b, uint32_t(v >> 32));
    putU32(b, uint32_t(v));
}

uint64_t getU(const uint8_t *p, int bytes)
{
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) v = (v << 8) | p[i];
    return v;
}

uint32_t flagWord(const std::array<char, 4> &f)
{
    return uint32_t(uint8_t(f[0])) << 24 | uint32_t(uint8_t(f[1])) << 16 | uint32_t(uint8_t(f[2])) << 8 | uint8_t(f[3]);
}

bool printableFlag(uint32_t w)
{
    for (int i = 0; i < 4; ++i) {
        const uint8_t c = uint8_t(w >> (24 - 8 * i));
        if (c < 0x21 || c > 0x7E) return false;
    }
    return true;
}

// Distinct values in first-seen order and each record's index into them (open addressing: this runs
// for every record a terminal sends); a table only when it saves bytes.
struct Table {
    std::vector<uint32_t> values;
    std::vector<uint32_t> index;  // per record
    int bits = 32;
    bool used = false;

    void build(const std::vector<uint32_t> &words)
    {
        size_t capacity = 64;
        while (capacity < 2 * words.size()) capacity *= 2;
        std::vector<uint32_t> keys(capacity), slotOf(capacity, UINT32_MAX);
        index.resize(words.size());
        for (size_t i = 0; i < words.size(); ++i) {
            const uint32_t w = words[i];
            size_t h = (w * 0x9E3779B1u) & (capacity - 1);
            while (slotOf[h] != UINT32_MAX && keys[h] != w) h = (h + 1) & (capacity - 1);
            if (slotOf[h] == UINT32_MAX) {
                if (values.size() == 65535) return;  // too many for a table
                keys[h] = w;
                slotOf[h] = uint32_t(values.size());
                values.push_back(w);
            }
            index[i] = slotOf[h];
        }
        if (values.empty()) return;
        bits = bitsFor(values.size() - 1);
        const uint64_t tableBits = 4 * values.size() * 8 + uint64_t(bits) * words.size();
        used = tableBits < uint64_t(32) * words.size();
        if (!used) bits = 32;
    }
    uint32_t at(size_t i, const std::vector<uint32_t> &words) const { return used ? index[i] : words[i]; }
};

}  // namespace

QByteArray encode(const PackedRecord *r, qsizetype n)
{
    std::vector<uint32_t> cards(static_cast<size_t>(n)), flags(static_cast<size_t>(n));
    int64_t minDelta = 0;
    uint64_t maxSerialStep = 0, maxTimeStep = 0;
    for (qsizetype i = 0; i < n; ++i) {
        cards[size_t(i)] = r[i].card;
        flags[size_t(i)] = flagWord(r[i].flag);
        if (i == 1 || (i > 1 && r[i].when.secs - r[i - 1].when.secs < minDelta))
            minDelta = r[i].when.secs - r[i - 1].when.secs;
        if (i > 0) maxSerialStep = std::max<uint64_t>(maxSerialStep, r[i].serial - r[i - 1].serial - 1);
    }
    for (qsizetype i = 1; i < n; ++i)
        maxTimeStep = std::max<uint64_t>(maxTimeStep, uint64_t(r[i].when.secs - r[i - 1].when.secs - minDelta));
    Table cardTable, flagTable;
    cardTable.build(cards);
    flagTable.build(flags);
    const int serialBits = bitsFor(maxSerialStep), timeBits = bitsFor(maxTimeStep);

    QByteArray out;
    const qsizetype tables = qsizetype(
        4 * ((cardTable.used ? cardTable.values.size() : 0) + (flagTable.used ? flagTable.values.size() : 0)));
    const uint64_t bits = uint64_t(serialBits + timeBits + cardTable.bits + flagTable.bits) * uint64_t(n);
    out.reserve(HeaderSize + tables + qsizetype((bits + 7) / 8));
    putU16(out, uint32_t(n));
    putU64(out, n > 0 ? r[0].serial : 0);
    putU64(out, uint64_t(n > 0 ? r[0].when.secs : 0));
    putU64(out, uint64_t(minDelta));
    out.append(char(serialBits)).append(char(timeBits)).append(char(cardTable.bits)).append(char(flagTable.bits));
    putU16(out, cardTable.used ? uint32_t(cardTable.values.size()) : 0);
    putU16(out, flagTable.used ? uint32_t(flagTable.values.size()) : 0);
    if (cardTable.used)
        for (uint32_t v : cardTable.values) putU32(out, v);
    if (flagTable.used)
        for (uint32_t v : flagTable.values) putU32(out, v);
    const qsizetype fields = out.size();
    out.resize(fields + qsizetype((bits + 7) / 8));
    BitWriter w(reinterpret_cast<uint8_t *>(out.data()) + fields);
    for (qsizetype i = 0; i < n; ++i) {
        w.put(i > 0 ? r[i].serial - r[i - 1].serial - 1 : 0, serialBits);
        w.put(i > 0 ? uint64_t(r[i].when.secs - r[i - 1].when.secs - minDelta) : 0, timeBits);
        w.put(cardTable.at(size_t(i), cards), cardTable.bits);
        w.put(flagTable.at(size_t(i), flags), flagTable.bits);
    }
    w.finish();
    return out;
}

bool decode(const char *data, qsizetype size, std::vector<PackedRecord> &out, QString &why)
{
    auto fail = [&](const char *what) {
        why = QString::fromLatin1(what);
        return false;
    };
    const auto *p = reinterpret_cast<const uint8_t *>(data);
    if (size < HeaderSize) return fail("record block shorter than its header");
    const int count = int(getU(p, 2));
    const uint64_t firstSerial = getU(p + 2, 8);
    const int64_t firstTime = int64_t(getU(p + 10, 8));
    const int64_t minDelta = int64_t(getU(p + 18, 8));
    const int serialBits = p[26], timeBits = p[27], cardBits = p[28], flagBits = p[29];
    const int cardTable = int(getU(p + 30, 2)), flagTable = int(getU(p + 32, 2));
    if (serialBits > 64 || timeBits > 64 || cardBits > 32 || flagBits > 32) return fail("field width out of range");
    if ((cardTable == 0 && cardBits != 32) || (flagTable == 0 && flagBits != 32) || (cardTable > 0 && cardBits > 16)
        || (flagTable > 0 && flagBits > 16))
        return fail("field width does not match its table");
    const uint64_t bitsPerRecord = uint64_t(serialBits + timeBits + cardBits + flagBits);
    const uint64_t need =
        uint64_t(HeaderSize) + 4 * uint64_t(cardTable + flagTable) + (bitsPerRecord * uint64_t(count) + 7) / 8;
    if (need != uint64_t(size))
        return fail(need > uint64_t(size) ? "record block shorter than its count needs"
                                          : "bytes after the record block");
    if (count > 0 && firstSerial == 0) return fail("serial 0 in a record block");
    if (count > 0 && (firstTime < PackedTime::Min || firstTime > PackedTime::Max))
        return fail("record time out of range");

    // Every time of a sound block lies in PackedTime's range, so no step can be wider than the range
    // twice over: anything wider is refused here, and the sums below stay far inside 64 bits.
    constexpr int64_t Span = PackedTime::Max - PackedTime::Min;
    if (timeBits > 40 || minDelta < -Span || minDelta > Span) return fail("record time step out of range");

    const uint8_t *tables = p + HeaderSize;
    std::vector<uint32_t> cards(static_cast<size_t>(cardTable));
    for (int i = 0; i < cardTable; ++i) cards[size_t(i)] = uint32_t(getU(tables + 4 * i, 4));
    std::vector<uint32_t> flagWords(static_cast<size_t>(flagTable));
    for (int i = 0; i < flagTable; ++i) {
        flagWords[size_t(i)] = uint32_t(getU(tables + 4 * (cardTable + i), 4));
        if (!printableFlag(flagWords[size_t(i)])) return fail("flag not printable");
    }
    out.resize(size_t(count));
    const uint8_t *fields = tables + 4 * (cardTable + flagTable);
    BitReader bits(fields, p + size - fields);
    // Records of at most 56 bits come out of the stream in one read and are split by shifts.
    const bool oneRead = bitsPerRecord <= 56;
    const uint64_t flagMask = (uint64_t(1) << flagBits) - 1, cardMask = (uint64_t(1) << cardBits) - 1;
    const uint64_t timeMask = (uint64_t(1) << timeBits) - 1;
    uint64_t serial = firstSerial;
    int64_t time = firstTime;
    for (int i = 0; i < count; ++i) {
        uint64_t serialStep, timeStep;
        uint32_t card, flag;
        if (oneRead) {
            uint64_t v = bits.get(int(bitsPerRecord));
            flag = uint32_t(v & flagMask);
            v >>= flagBits;
            card = uint32_t(v & cardMask);
            v >>= cardBits;
            timeStep = v & timeMask;
            serialStep = timeBits < 64 ? v >> timeBits : 0;
        } else {
            serialStep = bits.get(serialBits);
            timeStep = bits.get(timeBits);
            card = uint32_t(bits.get(cardBits));
            flag = uint32_t(bits.get(flagBits));
        }
        if (i > 0) {
            if (serialStep == UINT64_MAX || __builtin_add_overflow(serial, serialStep + 1, &serial))
                return fail("serial overflows");
            time += minDelta + int64_t(timeStep);
            if (time < PackedTime::Min || time > PackedTime::Max) return fail("record time out of range");
        }
        PackedRecord &r = out[size_t(i)];
        r.serial = serial;
        r.when.secs = time;
        if (cardTable > 0) {
            if (card >= uint32_t(cardTable)) return fail("card index past its table");
            r.card = cards[card];
        } else {
            r.card = card;
        }
        uint32_t f = flag;
        if (flagTable > 0) {
            if (flag >= uint32_t(flagTable)) return fail("flag index past its table");
            f = flagWords[flag];
        } else if (!printableFlag(f)) {
            return fail("flag not printable");
        }
        r.flag = {{char(f >> 24), char(f >> 16), char(f >> 8), char(f)}};
    }
    return true;
}

}  // namespace RecordBlock
