// Protocol 2's compact codecs: record blocks, roster blocks, their headers, the packed wall-clock time
// and the raw lines written straight from decoded records. Every class of bad block is refused
// before a record is kept.
#include "attlink/BlockRangeCheck.h"
#include "attlink/protocol/BlockHeaders.h"
#include "attlink/protocol/RawLineWriter.h"
#include "attlink/protocol/RecordBlock.h"
#include "attlink/protocol/RecordWire.h"
#include "attlink/protocol/RosterBlock.h"

#include <QDate>
#include <QTest>

#include <random>

namespace {

PackedRecord rec(quint64 serial, uint32_t card, PackedTime when, const char *flag = "0000")
{
    PackedRecord r;
    r.serial = serial;
    r.card = card;
    r.when = when;
    std::copy(flag, flag + 4, r.flag.begin());
    return r;
}

bool same(const PackedRecord &a, const PackedRecord &b)
{
    return a.serial == b.serial && a.card == b.card && a.when == b.when && a.flag == b.flag;
}

std::vector<PackedRecord> roundTrip(const std::vector<PackedRecord> &in, QByteArray *bytes = nullptr)
{
    const QByteArray b = RecordBlock::encode(in.data(), qsizetype(in.size()));
    if (bytes) *bytes = b;
    std::vector<PackedRecord> out;
    QString why;
    if (!RecordBlock::decode(b.constData(), b.size(), out, why)) qWarning("decode failed: %s", qPrintable(why));
    return out;
}

// A terminal's usual day: a few dozen cards, two flags, punches 1 to 900 seconds apart.
std::vector<PackedRecord> generated(int n, quint64 firstSerial = 1)
{
    std::mt19937_64 rng(7);
    std::vector<PackedRecord> v;
    PackedTime t = PackedTime::fromCivil(2009, 3, 2, 7, 30, 0);
    for (int i = 0; i < n; ++i) {
        t.secs += qint64(1 + rng() % 900);
        v.push_back(rec(firstSerial + quint64(i), uint32_t(0x00790000 + rng() % 40), t, rng() % 4 ? "0000" : "0001"));
    }
    return v;
}

// Big-endian field writes into an encoded block, to build the bad ones.
void putAt(QByteArray &b, int at, uint64_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i) b[at + i] = char(v >> (8 * (bytes - 1 - i)));
}

}  // namespace

class LinkBlocks : public QObject {
    Q_OBJECT

private slots:
    // ---- packed time ----

    void packedTimeAgreesWithTheCalendar()
    {
        std::mt19937_64 rng(3);
        for (int i = 0; i < 20000; ++i) {
            const QDate d = QDate(1, 1, 1).addDays(qint64(rng() % 3652059));
            const int s = int(rng() % 86400);
            const PackedTime t = PackedTime::fromCivil(d.year(), d.month(), d.day(), s / 3600, s / 60 % 60, s % 60);
            QVERIFY(t.inRange());
            const QDateTime back = t.toDateTime();
            QCOMPARE(back.date(), d);
            QCOMPARE(back.time(), QTime(s / 3600, s / 60 % 60, s % 60));
        }
        QCOMPARE(PackedTime::fromCivil(1970, 1, 1, 0, 0, 0).secs, qint64(0));
        QCOMPARE(PackedTime::fromCivil(1, 1, 1, 0, 0, 0).secs, PackedTime::Min);
        QCOMPARE(PackedTime::fromCivil(9999, 12, 31, 23, 59, 59).secs, PackedTime::Max);
    }

    // ---- record blocks ----

    void generatedDayIsSmallAndExact()
    {
        const std::vector<PackedRecord> in = generated(4096, 1000);
        QByteArray bytes;
        const std::vector<PackedRecord> out = roundTrip(in, &bytes);
        QCOMPARE(out.size(), in.size());
        for (size_t i = 0; i < in.size(); ++i) QVERIFY(same(in[i], out[i]));
        // Card index 6 bits, flag 1, time step 10, serial step 0: about 2.2 bytes a record.
        QVERIFY2(bytes.size() < 4096 * 5 / 2, qPrintable(QString::number(bytes.size())));
    }

    void unusualRecordsRoundTrip_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("times going back and far apart") << 0;
        QTest::newRow("every card different (no card table)") << 1;
        QTest::newRow("serial gaps and the largest serials") << 2;
        QTest::newRow("one record") << 3;
        QTest::newRow("no record") << 4;
        QTest::newRow("first and last second of the range") << 5;
    }
    void unusualRecordsRoundTrip()
    {
        QFETCH(int, kind);
        std::mt19937_64 rng(kind + 11);
        std::vector<PackedRecord> in;
        const PackedTime base = PackedTime::fromCivil(2026, 3, 29, 2, 30, 0);
        switch (kind) {
        case 0:
            for (int i = 0; i < 500; ++i)
                in.push_back(rec(quint64(i + 1), 5, {base.secs + qint64(rng() % 2000000000) - 1000000000}, "IN01"));
            break;
        case 1:
            for (int i = 0; i < 500; ++i)
                in.push_back(rec(quint64(i + 1), uint32_t(rng()), base, i % 2 ? "FF99" : "0102"));
            break;
        case 2: {
            quint64 s = UINT64_MAX - 5000;
            for (int i = 0; i < 300; ++i, s += 1 + rng() % 16) in.push_back(rec(s, 7, base));
            in.push_back(rec(UINT64_MAX, 7, base));
            break;
        }
        case 3:
            in.push_back(rec(42, 0xFFFFFFFF, base, "~!~!"));
            break;
        case 4:
            break;
        case 5:
            in.push_back(rec(1, 1, {PackedTime::Min}));
            in.push_back(rec(2, 1, {PackedTime::Max}));
            in.push_back(rec(3, 1, {PackedTime::Min}));
            break;
        }
        const std::vector<PackedRecord> out = roundTrip(in);
        QCOMPARE(out.size(), in.size());
        for (size_t i = 0; i < in.size(); ++i) QVERIFY2(same(in[i], out[i]), qPrintable(QString::number(i)));
    }

    // Every kind of bad block is refused; none of them is taken for records.
    void badRecordBlocks_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        const QByteArray good = RecordBlock::encode(generated(100).data(), 100);
        // Header: count 0, serial 2, time 10, min step 18, widths 26..29, table sizes 30 and 32.
        QByteArray moreCount = good;
        putAt(moreCount, 0, 101, 2);
        const int cards = (uint8_t(good[30]) << 8) | uint8_t(good[31]);
        QByteArray cardIndex = good;
        putAt(cardIndex, 30, 1, 2);  // a table of one card, yet wider indices follow
        cardIndex.remove(RecordBlock::HeaderSize + 4, 4 * (cards - 1));
        QByteArray hugeStep = good;
        putAt(hugeStep, 18, uint64_t(INT64_MAX), 8);
        // 100 steps of a third of the range each leave it soon.
        QByteArray climbing = good;
        putAt(climbing, 18, uint64_t((PackedTime::Max - PackedTime::Min) / 3), 8);
        QByteArray firstTime = good;
        putAt(firstTime, 10, uint64_t(PackedTime::Max + 1), 8);
        QByteArray serialZero = good;
        putAt(serialZero, 2, 0, 8);
        QByteArray serialOverflow = good;
        putAt(serialOverflow, 2, UINT64_MAX, 8);
        QByteArray wideField = good;
        wideField[26] = char(65);
        QByteArray literalWidth = good;
        putAt(literalWidth, 30, 0, 2);  // no card table, yet cards of 6 bits
        QByteArray badFlag = good;
        badFlag[RecordBlock::HeaderSize + 4 * cards] = '\r';  // the first flag in the table
        QTest::newRow("empty") << QByteArray() << "shorter than its header";
        QTest::newRow("header cut") << good.left(RecordBlock::HeaderSize - 1) << "shorter than its header";
        QTest::newRow("count larger than the payload") << moreCount << "shorter than its count needs";
        QTest::newRow("block cut short") << good.left(good.size() - 1) << "shorter than its count needs";
        QTest::newRow("bytes after the block") << good + "x"
                                               << "bytes after";
        QTest::newRow("table index out of range") << cardIndex << "card index past its table";
        QTest::newRow("time difference overflowing") << hugeStep << "time step out of range";
        QTest::newRow("first time out of range") << firstTime << "time out of range";
        QTest::newRow("times adding up past the range") << climbing << "record time out of range";
        QTest::newRow("serial 0") << serialZero << "serial 0";
        QTest::newRow("serial overflowing") << serialOverflow << "serial overflows";
        QTest::newRow("field wider than 64 bits") << wideField << "width out of range";
        QTest::newRow("literal cards of 6 bits") << literalWidth << "does not match its table";
        QTest::newRow("flag with a line end") << badFlag << "flag not printable";
    }
    void badRecordBlocks()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        std::vector<PackedRecord> out;
        QString why;
        QVERIFY(!RecordBlock::decode(bytes.constData(), bytes.size(), out, why));
        QVERIFY2(why.contains(reason), qPrintable(why));
    }

    void largeCountIsRefusedBeforeAllocating()
    {
        // 65535 records of 0 bits each would be a 34-byte block; widths of 64 bits need 1.5 MB.
        QByteArray b(RecordBlock::HeaderSize, '\0');
        putAt(b, 0, 65535, 2);
        putAt(b, 2, 1, 8);
        b[26] = char(64), b[27] = char(64), b[28] = char(32), b[29] = char(32);
        std::vector<PackedRecord> out;
        QString why;
        QVERIFY(!RecordBlock::decode(b.constData(), b.size(), out, why));
        QVERIFY(out.empty());
    }

    // ---- raw lines ----

    void rawLinesMatchTheRecordWireForm_data()
    {
        QTest::addColumn<bool>("decimal");
        QTest::addColumn<bool>("fullYear");
        QTest::newRow("hex, two-digit year") << false << false;
        QTest::newRow("decimal, full year") << true << true;
    }
    void rawLinesMatchTheRecordWireForm()
    {
        QFETCH(bool, decimal);
        QFETCH(bool, fullYear);
        std::mt19937_64 rng(5);
        RawLineWriter writer(7, decimal, fullYear);
        for (int i = 0; i < 5000; ++i) {
            const PackedRecord r = rec(1, uint32_t(rng()), {qint64(rng() % 4102444800ull)}, "AB~1");
            WireRecord w;
            w.card = r.card;
            w.when = r.when.toDateTime();
            w.flag = "AB~1";
            char line[RawLineWriter::MaxLineBytes];
            const int n = writer.write(r, line);
            QCOMPARE(QByteArray(line, n), RecordWire::rawLine(7, w, decimal, fullYear) + "\r\n");
        }
    }

    // ---- roster blocks ----

    void rosterRoundTrip()
    {
        const std::vector<PackedRosterEntry> in{{0x0079A785, "00000012", "\xcd\xf5\xb7\xbc"},
                                                {1, "A-7 x", ""},
                                                {0xFFFFFFFF, "1", "0123456789abcdef"},
                                                {2, "00000000", "a,b"},
                                                {3, "", "x"}};
        const QByteArray b = RosterBlock::encode(in.data(), qsizetype(in.size()));
        std::vector<PackedRosterEntry> out;
        QString why;
        QVERIFY2(RosterBlock::decode(b.constData(), b.size(), out, why), qPrintable(why));
        QCOMPARE(out.size(), in.size());
        for (size_t i = 0; i < in.size(); ++i) {
            QCOMPARE(out[i].card, in[i].card);
            QCOMPARE(out[i].jobNo, in[i].jobNo);
            QCOMPARE(out[i].name, in[i].name);
        }
    }

    void badRosterBlocks_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray entry = QByteArray("\x00\x79\xA7\x85", 4);
        QTest::newRow("no count") << QByteArray("\x00", 1);
        QTest::newRow("count larger than the payload") << QByteArray("\x00\x02", 2) + entry
                + "\x01"
                  "1"
                  "\x00";
        QTest::newRow("job number of 9 bytes") << QByteArray("\x00\x01", 2) + entry
                + "\x09"
                  "123456789"
                  "\x00";
        QTest::newRow("digits longer than said")
            << QByteArray("\x00\x01", 2) + entry + "\x82" + QByteArray("\x00\x00\x03\xE8", 4) + QByteArray(1, '\0');
        QTest::newRow("comma in a job number") << QByteArray("\x00\x01", 2) + entry
                + "\x02"
                  "1,"
                  "\x00";
        QTest::newRow("name of 17 bytes")
            << QByteArray("\x00\x01", 2) + entry + QByteArray("\x00\x11", 2) + QByteArray(17, 'n');
        QTest::newRow("line end in a name") << QByteArray("\x00\x01", 2) + entry + QByteArray("\x00\x03", 2) + "a\r\n";
        QTest::newRow("name cut short") << QByteArray("\x00\x01", 2) + entry + QByteArray("\x00\x05", 2) + "abc";
        QTest::newRow("bytes after the block") << QByteArray("\x00\x01", 2) + entry + QByteArray("\x00\x00", 2) + "z";
    }
    void badRosterBlocks()
    {
        QFETCH(QByteArray, bytes);
        std::vector<PackedRosterEntry> out;
        QString why;
        QVERIFY(!RosterBlock::decode(bytes.constData(), bytes.size(), out, why));
        QVERIFY(!why.isEmpty());
    }

    // ---- headers and the range check ----

    void headersRoundTrip()
    {
        BlockHeaders::SinceReply s{UINT64_MAX - 1, 123456}, s2;
        QVERIFY(BlockHeaders::decode(BlockHeaders::encode(s), s2));
        QCOMPARE(s2.newestSerial, s.newestSerial);
        QCOMPARE(s2.remaining, s.remaining);
        BlockHeaders::RangeReply r{100000, 391, 390, 2}, r2;
        QVERIFY(BlockHeaders::decode(BlockHeaders::encode(r), r2));
        QCOMPARE(r2.packets, uint16_t(2));
        QVERIFY(!BlockHeaders::decode(BlockHeaders::encode(r).left(9), r2));
        BlockHeaders::SinceRequest q;
        QVERIFY(!BlockHeaders::decode(BlockHeaders::encode(BlockHeaders::SinceRequest{1, 2}) + "x", q));
    }

    void rangeCheck_data()
    {
        QTest::addColumn<int>("total");
        QTest::addColumn<int>("asked");
        QTest::addColumn<int>("askedPackets");
        QTest::addColumn<int>("replyPacket");
        QTest::addColumn<int>("packets");
        QTest::addColumn<int>("items");
        QTest::addColumn<int>("fault");
        // 1000 records: packets of 256, 256, 256, 232.
        QTest::newRow("two whole packets") << 1000 << 1 << 4 << 1 << 2 << 512 << 0;
        QTest::newRow("up to the short last packet") << 1000 << 3 << 4 << 3 << 2 << 488 << 0;
        QTest::newRow("past the end") << 1000 << 5 << 4 << 5 << 0 << 0 << 0;
        QTest::newRow("another packet than asked") << 1000 << 1 << 4 << 2 << 2 << 512 << 1;
        QTest::newRow("more packets than asked") << 1000 << 1 << 1 << 1 << 2 << 512 << 1;
        QTest::newRow("an item short") << 1000 << 1 << 4 << 1 << 2 << 511 << 1;
        QTest::newRow("an item more") << 1000 << 1 << 4 << 1 << 2 << 513 << 1;
        QTest::newRow("an empty packet promised") << 1000 << 4 << 4 << 4 << 2 << 232 << 1;
        QTest::newRow("no packet though items are held") << 1000 << 1 << 4 << 1 << 0 << 0 << 1;
    }
    void rangeCheck()
    {
        QFETCH(int, total);
        QFETCH(int, asked);
        QFETCH(int, askedPackets);
        QFETCH(int, replyPacket);
        QFETCH(int, packets);
        QFETCH(int, items);
        QFETCH(int, fault);
        BlockRangeCheck check(256);
        const BlockHeaders::RangeReply h{uint32_t(total), uint16_t((total + 255) / 256), uint16_t(replyPacket),
                                         uint16_t(packets)};
        QCOMPARE(int(check.accept(h, asked, askedPackets, items)), fault);
    }

    void rangeCheckSeesTheTotalChange()
    {
        BlockRangeCheck check(256);
        QCOMPARE(check.accept({1000, 4, 1, 2}, 1, 2, 512), BlockRangeCheck::Fault::None);
        QCOMPARE(check.accept({1001, 4, 3, 2}, 3, 2, 489), BlockRangeCheck::Fault::Changed);
    }
};

QTEST_MAIN(LinkBlocks)
#include "link_blocks.moc"
