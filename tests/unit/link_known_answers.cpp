// The wire format against the examples worked out by hand in docs/protocol.md ("Worked examples"),
// kept byte for byte in tests/data/wire: the decoders must read them and the encoders must write
// them, so that a mistake the link and attsim would share cannot pass. The broken-*.bin files are
// the same examples damaged in one place each, and every one must be refused for that reason.
#include "attlink/protocol/BlockHeaders.h"
#include "attlink/protocol/Commands.h"
#include "attlink/protocol/Fields.h"
#include "attlink/protocol/Frame.h"
#include "attlink/protocol/RecordBlock.h"
#include "attlink/protocol/RosterBlock.h"

#include <QFile>
#include <QTest>

class LinkKnownAnswers : public QObject {
    Q_OBJECT

    static constexpr uint8_t Address = 105;
    static constexpr uint32_t Sequence = 0x1A2B3C4D;

    static QByteArray fixture(const QString &name)
    {
        // The suite names the fixtures' folder: compiler caches rewrite source paths, so __FILE__ cannot.
        QFile f(qEnvironmentVariable("ZEVO_TEST_DATA") + QStringLiteral("/wire/") + name + QStringLiteral(".bin"));
        if (!f.open(QIODevice::ReadOnly)) qFatal("no fixture %s", qPrintable(name));
        return f.readAll();
    }

    // The one whole frame a file holds; an empty message when it is not exactly one good frame.
    static Frame::Message frameOf(const QString &name)
    {
        const QByteArray bytes = fixture(name);
        const Frame::Decoded d = Frame::decode(bytes);
        if (d.status != Frame::Status::Complete || d.consumed != bytes.size()) return {};
        return d.message;
    }

    static PackedRecord record(quint64 serial, uint32_t card, int hour, int minute, int second, const char *flag)
    {
        PackedRecord r;
        r.serial = serial;
        r.card = card;
        r.when = PackedTime::fromCivil(2009, 3, 2, hour, minute, second);
        std::copy(flag, flag + 4, r.flag.begin());
        return r;
    }

    // A reply's payload after its status byte and range header, the header checked on the way.
    static QByteArray blockOf(const Frame::Message &m, uint32_t totalItems)
    {
        BlockHeaders::RangeReply h;
        if (m.payload.isEmpty() || m.payload[0] != char(ReplyStatus::Ok) || !BlockHeaders::decode(m.payload.mid(1), h)
            || h.totalItems != totalItems || h.totalPackets != 1 || h.firstPacket != 1 || h.packets != 1
            || BlockHeaders::encode(h) != m.payload.mid(1, BlockHeaders::RangeReplySize))
            return {};
        return m.payload.mid(1 + BlockHeaders::RangeReplySize);
    }

private slots:
    void framesReadAndWrittenByteForByte()
    {
        // The CRC's own check value: CCITT from 0xFFFF over the digits 1 to 9.
        QCOMPARE(Frame::crc16("123456789", 9), uint16_t(0x29B1));

        const QStringList identity = {
            QStringLiteral("VX730K"),           QStringLiteral("2009-06-01"),     QStringLiteral("105"),
            QStringLiteral("00112233445566AA"), QStringLiteral("20090302073000"), QStringLiteral("3")};
        struct Case {
            const char *file;
            uint8_t command;
            QByteArray payload;  // null: checked by the block tests below
        };
        const Case cases[] = {
            {"identify-request", Command::Identify, QByteArray("")},
            {"identify-reply", Command::Identify | Frame::ReplyBit, QByteArray(1, '\0') + Fields::join(identity)},
            {"record-blocks-request", Command::RecordBlocks, QByteArray("\x00\x01\x00\x01", 4)},
            {"record-blocks-reply", Command::RecordBlocks | Frame::ReplyBit, QByteArray()},
            {"roster-blocks-reply", Command::RosterBlocks | Frame::ReplyBit, QByteArray()},
            {"remove-card-refused", Command::RemoveCard | Frame::ReplyBit, QByteArray(1, char(ReplyStatus::Refused))},
        };
        for (const Case &c : cases) {
            const QByteArray bytes = fixture(QLatin1String(c.file));
            const Frame::Decoded d = Frame::decode(bytes);
            QVERIFY2(d.status == Frame::Status::Complete && d.consumed == bytes.size(), c.file);
            QCOMPARE(d.message.address, Address);
            QCOMPARE(d.message.command, c.command);
            QCOMPARE(d.message.sequence, Sequence);
            if (!c.payload.isNull()) QCOMPARE(d.message.payload, c.payload);
            QCOMPARE(Frame::encode(d.message), bytes);
        }
        QCOMPARE(Fields::split(frameOf(QStringLiteral("identify-reply")).payload.mid(1)), identity);
    }

    void recordBlockReply()
    {
        const QByteArray block = blockOf(frameOf(QStringLiteral("record-blocks-reply")), 3);
        QCOMPARE(block.size(), 54);
        // 2009-03-02 07:30:00 of the terminal's clock, in seconds since 1970-01-01 00:00:00.
        QCOMPARE(PackedTime::fromCivil(2009, 3, 2, 7, 30, 0).secs, qint64(0x49AB8AF8));
        const std::vector<PackedRecord> expected = {record(1, 0x0079A785, 7, 30, 0, "0000"),
                                                    record(2, 0x00123456, 7, 31, 40, "0000"),
                                                    record(3, 0x0079A785, 7, 35, 50, "0001")};
        std::vector<PackedRecord> got;
        QString why;
        QVERIFY2(RecordBlock::decode(block.constData(), block.size(), got, why), qPrintable(why));
        QCOMPARE(got.size(), expected.size());
        for (size_t i = 0; i < got.size(); ++i) {
            QCOMPARE(got[i].serial, expected[i].serial);
            QCOMPARE(got[i].card, expected[i].card);
            QCOMPARE(got[i].when.secs, expected[i].when.secs);
            QCOMPARE(got[i].flag, expected[i].flag);
        }
        QCOMPARE(RecordBlock::encode(expected.data(), qsizetype(expected.size())), block);
    }

    void rosterBlockReply()
    {
        const QByteArray block = blockOf(frameOf(QStringLiteral("roster-blocks-reply")), 2);
        const std::vector<PackedRosterEntry> expected = {{0x0079A785, "00000012", "\xCD\xF5\xB7\xBC"},  // 王芳
                                                         {0x00123456, "A-7", "Li Lei"}};
        std::vector<PackedRosterEntry> got;
        QString why;
        QVERIFY2(RosterBlock::decode(block.constData(), block.size(), got, why), qPrintable(why));
        QCOMPARE(got.size(), expected.size());
        for (size_t i = 0; i < got.size(); ++i) {
            QCOMPARE(got[i].card, expected[i].card);
            QCOMPARE(got[i].jobNo, expected[i].jobNo);
            QCOMPARE(got[i].name, expected[i].name);
        }
        QCOMPARE(RosterBlock::encode(expected.data(), qsizetype(expected.size())), block);
    }

    void brokenExamplesRefused()
    {
        // A damaged CRC: one byte dropped, the frame counted as damaged, the next frame still found.
        const QByteArray damaged = fixture(QStringLiteral("broken-crc"));
        Frame::Decoded d = Frame::decode(damaged);
        QVERIFY(d.status == Frame::Status::Skipped && d.corrupt && d.consumed == 1);
        Frame::Decoder stream;
        stream.feed(damaged + fixture(QStringLiteral("identify-request")));
        Frame::Message m;
        QVERIFY(stream.next(m));
        QCOMPARE(m.command, uint8_t(Command::Identify));
        QCOMPARE(stream.corruptFrames(), 1);
        QCOMPARE(stream.droppedBytes(), damaged.size());

        // A length field past 65000: not a frame, whatever follows.
        d = Frame::decode(fixture(QStringLiteral("broken-length")));
        QVERIFY(d.status == Frame::Status::Skipped && !d.corrupt && d.consumed == 1);

        // Sound frames around bad blocks.
        const std::pair<const char *, const char *> records[] = {
            {"broken-record-card-index", "card index past its table"},
            {"broken-record-extra-byte", "bytes after the record block"},
            {"broken-record-flag", "flag not printable"},
        };
        for (const auto &[file, reason] : records) {
            const QByteArray block = blockOf(frameOf(QLatin1String(file)), 3);
            std::vector<PackedRecord> out;
            QString why;
            QVERIFY2(!block.isEmpty() && !RecordBlock::decode(block.constData(), block.size(), out, why), file);
            QCOMPARE(why, QLatin1String(reason));
        }
        const QByteArray roster = blockOf(frameOf(QStringLiteral("broken-roster-name-length")), 2);
        std::vector<PackedRosterEntry> entries;
        QString why;
        QVERIFY(!roster.isEmpty() && !RosterBlock::decode(roster.constData(), roster.size(), entries, why));
        QCOMPARE(why, QStringLiteral("bad name length"));
    }
};

QTEST_GUILESS_MAIN(LinkKnownAnswers)
#include "link_known_answers.moc"
