// attsim against a peer that does not play by the rules: bad frames of every kind never crash it
// nor get an answer, a well-formed frame with a bad payload gets BadRequest, only the addressed
// terminal answers, and bad control lines or start-up arguments are refused with a reason.
#include "attlink/protocol/Commands.h"
#include "attlink/protocol/Fields.h"
#include "attlink/protocol/Frame.h"
#include "attlink/transport/TcpChannel.h"
#include "support/SimProcess.h"

#include <QJsonArray>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray frame(int address, int command, int sequence, const QByteArray &payload = {})
{
    return Frame::encode({uint8_t(address), uint8_t(command), uint8_t(sequence), payload});
}

// A raw connection to the simulator, with nothing of the link's checks in between.
struct Peer {
    TcpChannel channel;
    bool open(const SimProcess &sim) { return channel.connectTo(sim.host(), sim.portText(), 3000); }
    void write(const QByteArray &bytes) { channel.writeAll(bytes, 3000); }
    void write(const char *data, int n) { write(QByteArray(data, n)); }
};

// Every complete frame that arrives within `ms`.
QList<Frame::Message> replies(Peer &s, int ms)
{
    Frame::Decoder d;
    QList<Frame::Message> out;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QByteArray chunk;
        if (s.channel.readSome(chunk, int(qMax<qint64>(1, ms - t.elapsed()))) > 0) d.feed(chunk);
        Frame::Message m;
        while (d.next(m)) out << m;
    }
    return out;
}

Frame::Message ask(Peer &s, const QByteArray &bytes)
{
    if (!bytes.isEmpty()) s.write(bytes);
    Frame::Decoder d;
    QElapsedTimer t;
    t.start();
    Frame::Message m;
    while (t.elapsed() < 3000) {
        QByteArray chunk;
        if (s.channel.readSome(chunk, 100) > 0) d.feed(chunk);
        if (d.next(m)) return m;
    }
    return {};
}

int status(const Frame::Message &m) { return m.payload.isEmpty() ? -1 : uint8_t(m.payload[0]); }

}  // namespace

class SimRobustness : public QObject {
    Q_OBJECT
private slots:
    void badFramesGetNoAnswer_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QByteArray badCrc = frame(105, Command::RecordCount, 1);
        badCrc[badCrc.size() - 1] = char(badCrc[badCrc.size() - 1] ^ 0x55);
        QByteArray oversized = frame(105, Command::RecordCount, 2);
        oversized[5] = char(0x7F);  // length 0x7F00: over the limit
        QTest::newRow("bad CRC") << badCrc;
        QTest::newRow("oversized length") << oversized;
        QTest::newRow("cut short") << frame(105, Command::RecordCount, 3).left(6);
        QTest::newRow("garbage") << QByteArray("\x00\xFF\xA5\x00\x5A garbage \xA5\xA5\x5A", 18);
        QTest::newRow("another address") << frame(104, Command::RecordCount, 4);
        QTest::newRow("a reply, not a request")
            << frame(105, Command::RecordCount | Frame::ReplyBit, 5, QByteArray(1, '\0'));
    }
    void badFramesGetNoAnswer()
    {
        QFETCH(QByteArray, bytes);
        SimProcess sim({QStringLiteral("--records"), QStringLiteral("3")});
        if (!sim.start()) QSKIP(qPrintable(sim.errorText()));
        Peer s;
        QVERIFY(s.open(sim));
        s.write(bytes);
        QVERIFY(replies(s, 500).isEmpty());  // longer than the simulator keeps a frame left unfinished
        // The line is still good: the next proper request is answered.
        const Frame::Message m = ask(s, frame(105, Command::RecordCount, 9));
        QCOMPARE(m.sequence, uint8_t(9));
        QCOMPARE(status(m), 0);
        QCOMPARE(Fields::split(m.payload.mid(1)).value(0), QStringLiteral("3"));
    }

    void frameOneByteAtATimeAndAfterGarbage()
    {
        SimProcess sim({QStringLiteral("--records"), QStringLiteral("300")});
        if (!sim.start()) QSKIP(qPrintable(sim.errorText()));
        Peer s;
        QVERIFY(s.open(sim));
        const QByteArray request =
            QByteArray("noise\xA5", 6) + frame(105, Command::RecordPacket, 77, QByteArray("\x00\x02", 2));
        for (char b : request) {
            s.write(&b, 1);
            QTest::qSleep(1);
        }
        const Frame::Message m = ask(s, {});
        QCOMPARE(m.command, uint8_t(Command::RecordPacket | Frame::ReplyBit));
        QCOMPARE(m.sequence, uint8_t(77));
        QCOMPARE(m.payload.size(), 1 + 8 + 44 * 26);  // the second packet: records 257 to 300
    }

    void badPayloadsGetBadRequest_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<int>("expected");
        const auto f = [](std::initializer_list<const char *> fields) {
            QStringList l;
            for (const char *x : fields) l << QString::fromUtf8(x);
            return Fields::join(l);
        };
        QTest::newRow("packet 0") << int(Command::RecordPacket) << QByteArray(2, '\0') << 3;
        QTest::newRow("packet number of 3 bytes") << int(Command::RosterPacket) << QByteArray(3, '\1') << 3;
        QTest::newRow("record with month 13")
            << int(Command::PutRecord) << f({"0079A785", "20091305080706", "FF", "99"}) << 3;
        QTest::newRow("record card not hex")
            << int(Command::PutRecord) << f({"0079G785", "20090305080706", "FF", "99"}) << 3;
        QTest::newRow("name over 16 bytes")
            << int(Command::AddCard) << f({"0079A785", "1", "一二三四五六七八九", "00", "00000000"}) << 3;
        QTest::newRow("valid-until 31 February")
            << int(Command::AddCard) << f({"0079A785", "1", "王芳", "00", "20090231"}) << 3;
        QTest::newRow("clock log code 02") << int(Command::SetDateTime) << f({"20090305080706", "02"}) << 3;
        QTest::newRow("alarm 24:00") << int(Command::SetAlarms) << f({"1", "24:00"}) << 3;
        QTest::newRow("parameter word of 3") << int(Command::SetParameters) << f({"000", "0000", "0000"}) << 3;
        QTest::newRow("address 256") << int(Command::SetAddress) << f({"256"}) << 3;
        QTest::newRow("password of 5 digits") << int(Command::SetPassword) << f({"12345"}) << 3;
        QTest::newRow("storage 3") << int(Command::SetStorage) << f({"3"}) << 3;
        QTest::newRow("picture packet 2 first")
            << int(Command::PicturePacket) << QByteArray("\x00\x02\x00\x04", 4) << 3;
        QTest::newRow("message of 17 Chinese characters")
            << int(Command::ShortMessage) << f({"5", "一二三四五六七八九十一二三四五六七"}) << 3;
        QTest::newRow("voice 9") << int(Command::Voice) << f({"9"}) << 1;
        QTest::newRow("remove a card not held") << int(Command::RemoveCard) << f({"0079A785"}) << 1;
        QTest::newRow("read a card with none presented") << int(Command::ReadCard) << QByteArray() << 1;
        QTest::newRow("unknown command") << 0x7E << QByteArray() << 2;
    }
    void badPayloadsGetBadRequest()
    {
        QFETCH(int, command);
        QFETCH(QByteArray, payload);
        QFETCH(int, expected);
        SimProcess sim;
        if (!sim.start()) QSKIP(qPrintable(sim.errorText()));
        const QJsonObject before = sim.terminal(105);
        Peer s;
        QVERIFY(s.open(sim));
        const Frame::Message m = ask(s, frame(105, command, 1, payload));
        QCOMPARE(status(m), expected);
        QJsonObject after = sim.terminal(105);
        after.remove(QStringLiteral("clock"));
        QJsonObject was = before;
        was.remove(QStringLiteral("clock"));
        QCOMPARE(after, was);  // a refused request changes nothing
    }

    void oldFirmwareHasNoLogs()
    {
        SimProcess sim({QStringLiteral("--firmware"), QStringLiteral("2008-07-22")});
        if (!sim.start()) QSKIP(qPrintable(sim.errorText()));
        Peer s;
        QVERIFY(s.open(sim));
        QCOMPARE(status(ask(s, frame(105, Command::ClearLog, 1))), 0);
        QCOMPARE(status(ask(s, frame(105, Command::TimeChangeLog, 2))), 4);
        const Frame::Message id = ask(s, frame(105, Command::Identify, 3));
        QCOMPARE(Fields::split(id.payload.mid(1)).value(1), QStringLiteral("2008-07-22"));
    }

    void onlyTheAddressedTerminalAnswers()
    {
        SimProcess sim({QStringLiteral("--terminal"), QStringLiteral("18"), QStringLiteral("--terminal"),
                        QStringLiteral("105"), QStringLiteral("--records"), QStringLiteral("4")});
        if (!sim.start()) QSKIP(qPrintable(sim.errorText()));
        Peer s;
        QVERIFY(s.open(sim));
        s.write(frame(18, Command::RecordCount, 1) + frame(105, Command::RecordCount, 2)
                + frame(7, Command::RecordCount, 3));
        const QList<Frame::Message> got = replies(s, 500);
        QCOMPARE(got.size(), 2);
        QCOMPARE(got[0].address, uint8_t(18));
        QCOMPARE(Fields::split(got[0].payload.mid(1)).value(0),
                 QStringLiteral("4"));  // the first terminal has the records
        QCOMPARE(got[1].address, uint8_t(105));
        QCOMPARE(Fields::split(got[1].payload.mid(1)).value(0), QStringLiteral("0"));
    }

    void controlLines()
    {
        SimProcess sim(
            {QStringLiteral("--terminal"), QStringLiteral("18"), QStringLiteral("--terminal"), QStringLiteral("105")});
        if (!sim.start()) QSKIP(qPrintable(sim.errorText()));
        sim.send(QStringLiteral("present 0079A785 105"));
        sim.send(QStringLiteral("punch 0007972741"));   // decimal, to the first terminal
        sim.send(QStringLiteral("present 0079A78"));    // bad card: changes nothing
        sim.send(QStringLiteral("punch 0079A785 99"));  // no such terminal
        sim.send(QStringLiteral("jump"));
        QCOMPARE(sim.terminal(105)[QStringLiteral("presented")].toString(), QStringLiteral("0079A785"));
        const QJsonObject first = sim.terminal(18);
        QCOMPARE(first[QStringLiteral("records")].toArray().size(), 1);
        QCOMPARE(first[QStringLiteral("records")][0][QStringLiteral("card")].toString(), QStringLiteral("0079A785"));
        QCOMPARE(first[QStringLiteral("cardFlags")][QStringLiteral("0079A785")].toString(), QStringLiteral("01"));
        QCOMPARE(first[QStringLiteral("presented")].toString(), QString());
        const QString errors = sim.standardError();
        QVERIFY2(errors.contains(QStringLiteral("0079A78")) && errors.contains(QStringLiteral("99"))
                     && errors.contains(QStringLiteral("jump")),
                 qPrintable(errors));
        QVERIFY(sim.running());
    }

    void loadsRecordsAndRefusesBadStartUps()
    {
        QTemporaryDir dir;
        const QString good = dir.filePath(QStringLiteral("good.txt"));
        const QString bad = dir.filePath(QStringLiteral("bad.txt"));
        {
            QFile f(good);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("0079A785 2009-03-05 08:07:06 0001\n\nffffffff 2009-12-31 23:59:59 AB12\n");
            QFile b(bad);
            QVERIFY(b.open(QIODevice::WriteOnly));
            b.write("0079A785 2009-03-05 08:07:06 0001\n0079A785 2009-02-30 08:07:06 0001\n");
        }
        SimProcess sim({QStringLiteral("--load-records"), good});
        if (!sim.start()) QSKIP(qPrintable(sim.errorText()));
        const QJsonArray records = sim.terminal(105)[QStringLiteral("records")].toArray();
        QCOMPARE(records.size(), 2);
        QCOMPARE(records[1][QStringLiteral("card")].toString(), QStringLiteral("FFFFFFFF"));
        QCOMPARE(records[1][QStringLiteral("flag")].toString(), QStringLiteral("AB12"));

        for (const QStringList &args : {QStringList{QStringLiteral("--load-records"), bad},
                                        QStringList{QStringLiteral("--terminal"), QStringLiteral("256")},
                                        QStringList{QStringLiteral("--terminal"), QStringLiteral("5"),
                                                    QStringLiteral("--terminal"), QStringLiteral("5")},
                                        QStringList{QStringLiteral("--corrupt"), QStringLiteral("1.5")},
                                        QStringList{QStringLiteral("--firmware"), QStringLiteral("2008-13-01")},
                                        QStringList{QStringLiteral("--tcp"), QStringLiteral("nowhere")}}) {
            SimProcess refused(args);
            QVERIFY2(!refused.start(), qPrintable(args.join(u' ')));
            QVERIFY2(refused.errorText().contains(QStringLiteral("attsim:")), qPrintable(refused.errorText()));
        }
    }

    void ptyLinkNeverReplacesAFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("precious"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("keep me");
        f.close();
        SimProcess sim({QStringLiteral("--pty"), path});
        QVERIFY(!sim.start());
        QFile again(path);
        QVERIFY(again.open(QIODevice::ReadOnly));
        QCOMPARE(again.readAll(), QByteArray("keep me"));
    }
};

QTEST_MAIN(SimRobustness)
#include "sim_robustness.moc"
