// The wire codecs of the device link: frames, payload fields and the record wire form.
#include "attlink/protocol/Fields.h"
#include "attlink/protocol/Frame.h"
#include "attlink/protocol/RecordWire.h"
#include "common/TextCodec.h"

#include <QTest>

#include <cstdlib>
#include <ctime>

namespace {

// A reply payload: the status byte 0 (ok) and the text.
QByteArray ok(const char *text) { return QByteArray(1, '\0') + text; }

Frame::Message msg(uint8_t address, uint8_t command, uint32_t sequence, const QByteArray &payload)
{
    return Frame::Message{address, command, sequence, payload};
}

QByteArray frame(uint8_t address, uint8_t command, uint32_t sequence, const QByteArray &payload)
{
    return Frame::encode(msg(address, command, sequence, payload));
}

// Everything a decoder yields from the bytes, fed in chunks of `step` bytes.
QList<Frame::Message> decodeAll(const QByteArray &bytes, int step, qsizetype *dropped = nullptr,
                                qsizetype *corrupt = nullptr)
{
    Frame::Decoder d;
    QList<Frame::Message> out;
    for (qsizetype i = 0; i < bytes.size(); i += step) {
        d.feed(bytes.mid(i, step));
        Frame::Message m;
        while (d.next(m)) out << m;
    }
    if (dropped) *dropped = d.droppedBytes();
    if (corrupt) *corrupt = d.corruptFrames();
    return out;
}

}  // namespace

Q_DECLARE_METATYPE(Frame::Status)

class LinkFrame : public QObject {
    Q_OBJECT

private slots:
    // ---- frames ----

    void crcOfTheCheckString() { QCOMPARE(Frame::crc16("123456789", 9), uint16_t(0x29B1)); }

    void roundTrip_data()
    {
        QTest::addColumn<int>("address");
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("sequence");
        QTest::addColumn<QByteArray>("payload");
        QTest::newRow("empty payload") << 0 << 0x01 << 0 << QByteArray();
        QTest::newRow("broadcast-like address 255") << 255 << 0x91 << 255 << QByteArray("\x00", 1);
        QTest::newRow("markers inside the payload") << 105 << 0x11 << 7 << QByteArray("\xA5\x5A\xA5\x5A\x00\xFF", 6);
        QTest::newRow("largest payload") << 18 << 0x61 << 200 << QByteArray(Frame::MaxPayload, '\xA5');
        QTest::newRow("sequence in all four bytes") << 18 << 0x17 << 0x7F5A01A5 << QByteArray("\x01", 1);
    }
    void roundTrip()
    {
        QFETCH(int, address);
        QFETCH(int, command);
        QFETCH(int, sequence);
        QFETCH(QByteArray, payload);
        const QByteArray bytes = frame(uint8_t(address), uint8_t(command), uint32_t(sequence), payload);
        QCOMPARE(bytes.size(), Frame::OverheadSize + payload.size());
        const Frame::Decoded d = Frame::decode(bytes);
        QCOMPARE(d.status, Frame::Status::Complete);
        QCOMPARE(d.consumed, bytes.size());
        QCOMPARE(int(d.message.address), address);
        QCOMPARE(int(d.message.command), command);
        QCOMPARE(int(d.message.sequence), sequence);
        QCOMPARE(d.message.payload, payload);
    }

    void oversizedPayloadIsNotEncoded() { QVERIFY(frame(1, 1, 1, QByteArray(Frame::MaxPayload + 1, 'x')).isEmpty()); }

    // One frame that is wrong in one way, looked at by the pure decoder.
    void badFrame_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<Frame::Status>("status");
        QTest::addColumn<int>("consumed");
        QTest::addColumn<bool>("corrupt");
        const QByteArray good = frame(105, 0x91, 3, ok("hello"));
        QByteArray badCrc = good;
        badCrc[badCrc.size() - 1] = char(badCrc.back() ^ 0x01);
        QByteArray flippedPayload = good;
        flippedPayload[Frame::HeaderSize + 2] = 'X';
        QByteArray longer = good;  // length field says one byte more than was sent
        longer[9] = char(longer[9] + 1);
        QByteArray shorter = good;
        shorter[9] = char(shorter[9] - 1);
        QByteArray oversized = good;
        oversized[8] = char(0xFD), oversized[9] = char(0xE9);  // 65001
        QTest::newRow("empty input") << QByteArray() << Frame::Status::NeedMore << 0 << false;
        QTest::newRow("first marker only") << good.left(1) << Frame::Status::NeedMore << 0 << false;
        QTest::newRow("truncated header") << good.left(8) << Frame::Status::NeedMore << 0 << false;
        QTest::newRow("truncated payload") << good.left(good.size() - 3) << Frame::Status::NeedMore << 0 << false;
        QTest::newRow("truncated CRC") << good.left(good.size() - 1) << Frame::Status::NeedMore << 0 << false;
        QTest::newRow("bad CRC") << badCrc << Frame::Status::Skipped << 1 << true;
        QTest::newRow("damaged payload") << flippedPayload << Frame::Status::Skipped << 1 << true;
        QTest::newRow("length field too long") << longer << Frame::Status::NeedMore << 0 << false;
        QTest::newRow("length field too short") << shorter << Frame::Status::Skipped << 1 << true;
        QTest::newRow("oversized length field") << oversized << Frame::Status::Skipped << 1 << false;
        QTest::newRow("garbage before the marker")
            << QByteArray("xyz\x5A") + good << Frame::Status::Skipped << 4 << false;
        QTest::newRow("first marker without the second")
            << QByteArray("\xA5\xA5") + good.mid(1) << Frame::Status::Skipped << 1 << false;
        QTest::newRow("only garbage") << QByteArray(100, '\x5A') << Frame::Status::Skipped << 100 << false;
    }
    void badFrame()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(Frame::Status, status);
        QFETCH(int, consumed);
        QFETCH(bool, corrupt);
        const Frame::Decoded d = Frame::decode(bytes);
        QCOMPARE(d.status, status);
        QCOMPARE(d.consumed, consumed);
        QCOMPARE(d.corrupt, corrupt);
    }

    void corruptFrameKeepsItsHeader()
    {
        QByteArray bad = frame(105, 0x91, 9, ok("abc"));
        bad[Frame::HeaderSize + 1] = 'Z';
        const Frame::Decoded d = Frame::decode(bad);
        QVERIFY(d.corrupt);
        QCOMPARE(int(d.message.address), 105);
        QCOMPARE(int(d.message.sequence), 9);
        QVERIFY(d.message.payload.isEmpty());
    }

    void smallerLimitRefusesLongerFrames()
    {
        const QByteArray bytes = frame(1, 1, 1, QByteArray(100, 'p'));
        QCOMPARE(Frame::decode(bytes, 99).status, Frame::Status::Skipped);
        QCOMPARE(Frame::decode(bytes, 100).status, Frame::Status::Complete);
    }

    // A stream of frames with damage between them, fed whole and byte by byte: the decoder recovers
    // every good frame and nothing else.
    void streamRecovery_data()
    {
        QTest::addColumn<int>("step");
        QTest::newRow("whole") << 0;
        QTest::newRow("one byte at a time") << 1;
        QTest::newRow("seven bytes at a time") << 7;
    }
    void streamRecovery()
    {
        QFETCH(int, step);
        const QByteArray a = frame(1, 0x81, 1, ok("first"));
        QByteArray damaged = frame(1, 0x81, 2, ok("damaged"));
        damaged[12] = 'X';
        const QByteArray b = frame(2, 0x82, 3, QByteArray(300, '\xA5'));
        QByteArray stretched = frame(1, 0x81, 4, ok("stretched"));
        stretched[9] = char(0x40);  // claims 64 bytes; the next frame's bytes fill it, the CRC fails
        const QByteArray c = frame(3, 0x83, 5, QByteArray());
        const QByteArray stream = QByteArray("\x00\x5A noise ", 9) + a + damaged + b + "\xA5" + stretched + c
            + QByteArray(100, '\0') + c + "\xA5\x5A\x01";
        qsizetype dropped = 0, corrupt = 0;
        const QList<Frame::Message> got = decodeAll(stream, step == 0 ? int(stream.size()) : step, &dropped, &corrupt);
        QCOMPARE(got.size(), 4);
        QCOMPARE(got[0].payload,
                 QByteArray("\x00"
                            "first",
                            6));
        QCOMPARE(got[1].payload, QByteArray(300, '\xA5'));
        QCOMPARE(int(got[2].sequence), 5);
        QCOMPARE(int(got[3].sequence), 5);
        QVERIFY(corrupt >= 2);
        QVERIFY(dropped > 0);
    }

    void longGarbageStreamStaysBounded()
    {
        // Many false markers with the largest length: every one costs a CRC over 64 KB at most,
        // and the buffer does not keep what was already dropped.
        Frame::Decoder d;
        QByteArray fake("\xA5\x5A\x01\x81\x00\x00\x00\x01\xFD\xE8", 10);
        for (int i = 0; i < 200; ++i) {
            d.feed(fake + QByteArray(Frame::MaxPayload / 4, 'g'));
            Frame::Message m;
            QVERIFY(!d.next(m));
        }
        QVERIFY(d.pendingBytes() <= Frame::OverheadSize + Frame::MaxPayload);
    }

    // ---- payload fields ----

    void fields_data()
    {
        QTest::addColumn<QStringList>("fields");
        QTest::newRow("one") << QStringList{QStringLiteral("105")};
        QTest::newRow("GB18030 names") << QStringList{QStringLiteral("0079A785"), QStringLiteral("0001"),
                                                      QStringLiteral("张三丰"), QStringLiteral("𠀀饕餮")};
        QTest::newRow("empty fields keep their place") << QStringList{QString(), QStringLiteral("x"), QString()};
    }
    void fields()
    {
        QFETCH(QStringList, fields);
        const QByteArray bytes = Fields::join(fields);
        QCOMPARE(Fields::split(bytes), fields);
    }

    void namesTravelAsGb18030()
    {
        const QByteArray bytes = Fields::join({QStringLiteral("张三")});
        QCOMPARE(bytes, QByteArray("\xD5\xC5\xC8\xFD"));
        QCOMPARE(bytes, TextCodec::encode(QStringLiteral("张三")));
    }

    void separatorInsideATextDoesNotSplitIt()
    {
        const QStringList got = Fields::split(Fields::join({QStringLiteral("a\x1F"
                                                                           "b"),
                                                            QStringLiteral("c")}));
        QCOMPARE(got.size(), 2);
        QCOMPARE(got[0], QStringLiteral("a b"));
    }

    void fieldPastTheEndIsEmpty()
    {
        const QStringList f = Fields::split("1");
        QCOMPARE(Fields::field(f, 0), QStringLiteral("1"));
        QCOMPARE(Fields::field(f, 1), QString());
        QCOMPARE(Fields::field(f, 1000), QString());
        QVERIFY(Fields::split(QByteArray()).isEmpty());
    }

    void invalidBytesInANameDoNotCrash()
    {
        const QStringList f = Fields::split(QByteArray("\xFF\xFE\x81\x1F\x81", 5));
        QCOMPARE(f.size(), 2);
    }

    // ---- records on the wire ----

    void recordRoundTrip()
    {
        WireRecord r;
        r.card = 0x0079A785;
        r.when = QDateTime(QDate(2007, 9, 27), QTime(9, 36, 28), Qt::UTC);
        r.flag = "IN01";
        const QByteArray bytes = RecordWire::encode(r);
        QCOMPARE(bytes, QByteArray("0079A78520070927093628IN01"));
        QCOMPARE(bytes.size(), RecordWire::Size);
        WireRecord back;
        QVERIFY(RecordWire::decode(bytes, back));
        QCOMPARE(back.card, r.card);
        QCOMPARE(back.when, r.when);
        QCOMPARE(back.flag, r.flag);
    }

    void badRecord_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("short") << QByteArray("0079A78520070927093628IN0");
        QTest::newRow("long") << QByteArray("0079A78520070927093628IN012");
        QTest::newRow("card not hex") << QByteArray("0079G78520070927093628IN01");
        QTest::newRow("card with a sign") << QByteArray("+079A78520070927093628IN01");
        QTest::newRow("card with a blank") << QByteArray(" 079A78520070927093628IN01");
        QTest::newRow("month 13") << QByteArray("0079A78520071327093628IN01");
        QTest::newRow("30 February") << QByteArray("0079A78520070230093628IN01");
        QTest::newRow("hour 24") << QByteArray("0079A78520070927243628IN01");
        QTest::newRow("letter in the date") << QByteArray("0079A7852007092709362OIN01");
        QTest::newRow("blank in the flag") << QByteArray("0079A78520070927093628IN 1");
        QTest::newRow("control byte in the flag") << QByteArray("0079A78520070927093628IN\x01"
                                                                "1");
        QTest::newRow("high byte in the flag") << QByteArray("0079A78520070927093628IN\xB0"
                                                             "1");
    }
    void badRecord()
    {
        QFETCH(QByteArray, bytes);
        WireRecord r;
        QVERIFY(!RecordWire::decode(bytes, r));
    }

    void recordInASkippedLocalHourIsStillValid()
    {
        // 2026-03-29 02:30 does not exist in Central European local time; the terminal's clock
        // knows nothing of zones, so the record must still be read.
        const QByteArray oldTz = qgetenv("TZ");
        qputenv("TZ", "Europe/Berlin");
        tzset();
        WireRecord r;
        const bool ok = RecordWire::decode("0079A78520260329023000IN01", r);
        if (oldTz.isNull())
            qunsetenv("TZ");
        else
            qputenv("TZ", oldTz);
        tzset();
        QVERIFY(ok);
        QCOMPARE(RecordWire::rawLine(105, r, false, true), QByteArray("1050079A78520260329023000IN01"));
    }

    void rawLineWidths_data()
    {
        QTest::addColumn<bool>("decimal");
        QTest::addColumn<bool>("fullYear");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("defaults: 27") << false << false << QByteArray("1050079A785070927093628IN01");
        QTest::newRow("decimal: 29") << true << false << QByteArray("1050007972741070927093628IN01");
        QTest::newRow("full year: 29") << false << true << QByteArray("1050079A78520070927093628IN01");
        QTest::newRow("both: 31") << true << true << QByteArray("105000797274120070927093628IN01");
    }
    void rawLineWidths()
    {
        QFETCH(bool, decimal);
        QFETCH(bool, fullYear);
        QFETCH(QByteArray, line);
        WireRecord r;
        QVERIFY(RecordWire::decode("0079A78520070927093628IN01", r));
        QCOMPARE(RecordWire::rawLine(105, r, decimal, fullYear), line);
    }

    void machineNumberIsThreeDigits()
    {
        WireRecord r;
        QVERIFY(RecordWire::decode("FFFFFFFF20070927093628IN01", r));
        QCOMPARE(RecordWire::rawLine(0, r, true, false).left(13), QByteArray("0004294967295"));
        QCOMPARE(RecordWire::rawLine(7, r, false, false).left(11), QByteArray("007FFFFFFFF"));
    }

    void packetHeader()
    {
        const RecordWire::PacketHeader h{100000, 391, 390};
        const QByteArray bytes = RecordWire::encodeHeader(h);
        QCOMPARE(bytes.size(), RecordWire::PacketHeaderSize);
        RecordWire::PacketHeader back;
        QVERIFY(RecordWire::decodeHeader(bytes, back));
        QCOMPARE(back.totalItems, h.totalItems);
        QCOMPARE(back.totalPackets, h.totalPackets);
        QCOMPARE(back.packet, h.packet);
        QVERIFY(!RecordWire::decodeHeader(bytes.left(7), back));
    }

    void cardTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<uint>("value");
        QTest::newRow("8 hex upper") << "0079A785" << true << 0x0079A785u;
        QTest::newRow("8 hex lower") << "0079a785" << true << 0x0079A785u;
        QTest::newRow("10 decimal") << "0007972741" << true << 7972741u;
        QTest::newRow("largest decimal") << "4294967295" << true << 0xFFFFFFFFu;
        QTest::newRow("decimal over 32 bits") << "4294967296" << false << 0u;
        QTest::newRow("7 characters") << "079A785" << false << 0u;
        QTest::newRow("9 characters") << "00079A785" << false << 0u;
        QTest::newRow("hex in a decimal") << "000797274A" << false << 0u;
        QTest::newRow("sign") << "+079A785" << false << 0u;
        QTest::newRow("blank inside") << "0079 785" << false << 0u;
        QTest::newRow("full-width digits") << QStringLiteral("００７９Ａ７８５") << false << 0u;
        QTest::newRow("empty") << "" << false << 0u;
    }
    void cardTexts()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(uint, value);
        uint32_t got = 0;
        QCOMPARE(RecordWire::parseCard(text, got), ok);
        if (ok) QCOMPARE(got, value);
    }

    void cardFormats()
    {
        QCOMPARE(RecordWire::cardHex(0x0079A785), QStringLiteral("0079A785"));
        QCOMPARE(RecordWire::cardDecimal(0x0079A785), QStringLiteral("0007972741"));
        QCOMPARE(RecordWire::cardDecimal(0xFFFFFFFF), QStringLiteral("4294967295"));
    }
};

QTEST_GUILESS_MAIN(LinkFrame)
#include "link_frame.moc"
