#include "attlink/protocol/RecordBlock.h"

#include "attlink/protocol/BigEndian.h"
#include "attlink/protocol/BitStream.h"

#include <QtNumeric>
#include <algorithm>

namespace RecordBlock {

namespace {

uint32_t flagWord(const std::array<char, 4> &f) { return BigEndian::read<uint32_t>(f.data()); }

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
    BigEndian::append(out, uint16_t(n));
    BigEndian::append(out, quint64(n > 0 ? r[0].serial : 0));
    BigEndian::append(out, quint64(n > 0 ? r[0].when.secs : 0));
    BigEndian::append(out, quint64(minDelta));
    out.append(char(serialBits)).append(char(timeBits)).append(char(cardTable.bits)).append(char(flagTable.bits));
    BigEndian::append(out, uint16_t(cardTable.used ? cardTable.values.size() : 0));
    BigEndian::append(out, uint16_t(flagTable.used ? flagTable.values.size() : 0));
    if (cardTable.used)
        for (uint32_t v : cardTable.values) BigEndian::append(out, v);
    if (flagTable.used)
        for (uint32_t v : flagTable.values) BigEndian::append(out, v);
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
    const int count = BigEndian::read<uint16_t>(p);
    const uint64_t firstSerial = BigEndian::read<quint64>(p + 2);
    const int64_t firstTime = BigEndian::read<qint64>(p + 10);
    const int64_t minDelta = BigEndian::read<qint64>(p + 18);
    const int serialBits = p[26], timeBits = p[27], cardBits = p[28], flagBits = p[29];
    const int cardTable = BigEndian::read<uint16_t>(p + 30), flagTable = BigEndian::read<uint16_t>(p + 32);
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
    for (int i = 0; i < cardTable; ++i) cards[size_t(i)] = BigEndian::read<uint32_t>(tables + 4 * i);
    std::vector<uint32_t> flagWords(static_cast<size_t>(flagTable));
    for (int i = 0; i < flagTable; ++i) {
        flagWords[size_t(i)] = BigEndian::read<uint32_t>(tables + 4 * (cardTable + i));
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
            if (serialStep == UINT64_MAX || qAddOverflow(serial, serialStep + 1, &serial))
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
        qToBigEndian(f, r.flag.data());
    }
    return true;
}

}  // namespace RecordBlock
