// The device link against a terminal that lies (support/LyingTerminal): every reply is checked before
// anything of it reaches a file, a failed collection keeps the earlier file, a trickling terminal
// cannot hold a request past its deadline, and a call can be abandoned from another thread.
#include "attlink/AttLink.h"
#include "attlink/transport/SerialChannel.h"
#include "common/TextCodec.h"
#include "support/FileContent.h"
#include "support/AttctlProcess.h"
#include "support/LyingTerminal.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <thread>

namespace {

using Mode = LyingTerminal::Mode;

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

}  // namespace

class LinkHostile : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

    // A link with short timeouts (its AttLink.ini in a folder of its own), connected to `t`.
    std::unique_ptr<AttLink> linkTo(const LyingTerminal &t, const QByteArray &extraLinkKeys = {})
    {
        const QString folder = dir_.filePath(QStringLiteral("link-%1").arg(t.port()));
        QDir().mkpath(folder);
        writeFile(folder + QStringLiteral("/AttLink.ini"),
                  "[Link]\nResponseTimeout=300\nInterByteTimeout=200\nRetries=2\n" + extraLinkKeys);
        auto link = std::make_unique<AttLink>(folder);
        link->Mode(1);
        if (!link->Connect_Net(QStringLiteral("127.0.0.1"), t.portText()).toBool()) qFatal("cannot connect");
        return link;
    }

    QString folderWith(const QString &name, const QByteArray &earlier)
    {
        const QString folder = dir_.filePath(name);
        QDir().mkpath(folder);
        writeFile(folder + QStringLiteral("/NameList.txt"), earlier);
        writeFile(folder + QStringLiteral("/DataRecordSet_original.txt"), earlier);
        return folder;
    }

private slots:
    void honestRosterLinesReadBackAsOneEntryEach()
    {
        LyingTerminal t(Mode::Honest, 5, 130);
        const auto link = linkTo(t);
        const QString folder = folderWith(QStringLiteral("honest"), "old\r\n");
        QString message;
        qint32 count = 0;
        QVERIFY2(link->GatherSendCardData(QStringLiteral("105"), folder, QStringLiteral("NameList.txt"), message, count,
                                          QStringLiteral("0"), 0)
                     .toBool(),
                 qPrintable(message));
        QCOMPARE(count, 130);
        const QStringList lines = TextCodec::decode(fileBytes(folder + QStringLiteral("/NameList.txt")))
                                      .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 130);
        QCOMPARE(lines[129], LyingTerminal::rosterEntry(129).join(u','));
    }

    // A reply that breaks the rules a sent card is held to fails the collection; the earlier file stays.
    void rosterRepliesAreHeldToTheSendRules_data()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("CR LF inside a name") << int(Mode::RosterCrLfInName);
        QTest::newRow("comma in a job number") << int(Mode::RosterCommaInJobNumber);
        QTest::newRow("NUL and ESC in a name") << int(Mode::RosterControlBytes);
        QTest::newRow("255-byte name") << int(Mode::RosterLongName);
    }
    void rosterRepliesAreHeldToTheSendRules()
    {
        QFETCH(int, mode);
        LyingTerminal t{Mode(mode), 5, 4};
        const auto link = linkTo(t);
        const QByteArray earlier = "00000001,00000001,earlier\r\n";
        const QString folder = folderWith(QStringLiteral("roster-%1").arg(mode), earlier);
        QString message;
        qint32 count = -1;
        QVERIFY(!link->GatherSendCardData(QStringLiteral("105"), folder, QStringLiteral("NameList.txt"), message, count,
                                          QStringLiteral("0"), 0)
                     .toBool());
        QCOMPARE(count, 0);
        // The decoder's reason follows the console's words.
        QVERIFY2(message.startsWith(QStringLiteral("终端应答格式错误：")), qPrintable(message));
        QCOMPARE(fileBytes(folder + QStringLiteral("/NameList.txt")), earlier);
        QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 2);  // no temporary file left behind
    }

    // Packets whose headers disagree or whose item counts do not fit their position fail; an absurd
    // packet count is refused at the first packet.
    void inconsistentPacketsFailTheCollection_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("packetsAsked");
        QTest::newRow("cleared and refilled between packets")
            << int(Mode::RecordsClearedMidway) << QStringLiteral("采集中终端记录数发生变化，请重新采集") << 2;
        QTest::newRow("item count not the position's")
            << int(Mode::RecordsWrongItemCount) << QStringLiteral("终端应答格式错误") << 1;
        QTest::newRow("65,535 packets for 5 records")
            << int(Mode::AbsurdPacketCount) << QStringLiteral("终端应答格式错误") << 1;
        QTest::newRow("packet 2 repeats packet 1")
            << int(Mode::RepeatedPackets) << QStringLiteral("终端应答格式错误") << 2;
    }
    void inconsistentPacketsFailTheCollection()
    {
        QFETCH(int, mode);
        QFETCH(QString, message);
        QFETCH(int, packetsAsked);
        LyingTerminal t{Mode(mode), 600};
        const auto link = linkTo(t);
        const QByteArray earlier = "1050079A785070927093628IN01\r\n";
        const QString folder = folderWith(QStringLiteral("records-%1").arg(mode), earlier);
        QString got;
        qint32 count = -1;
        bool fullYear = false;
        QVERIFY(!link->GatherData(QStringLiteral("105"), folder, QStringLiteral("DataRecordSet_original.txt"), got,
                                  count, QStringLiteral("0"), 0, fullYear)
                     .toBool());
        QCOMPARE(got, message);
        QCOMPARE(count, 0);
        QCOMPARE(t.packetRequests(), packetsAsked);
        QCOMPARE(fileBytes(folder + QStringLiteral("/DataRecordSet_original.txt")), earlier);
    }

    // A trickle keeps the inter-byte timeout from ever running out: the attempt's deadline ends the
    // request, and it is not asked again (the terminal is talking, but not answering).
    void trickleEndsAtTheDeadlineWithoutRetries()
    {
        LyingTerminal t(Mode::Trickle);
        const auto link = linkTo(t, "ReplyDeadline=900\n");
        qint32 count = -1;
        QVERIFY(!link->GatherRecordSum(QStringLiteral("105"), count, QStringLiteral("ok")).toBool());
        const Exchange &x = link->exchangeStats();
        QCOMPARE(x.lastFailure(), Exchange::Failure::TooSlow);
        QCOMPARE(AttLink::exchangeWords(link->lastResult()), QStringLiteral("应答未在 900 毫秒内完成"));
        QCOMPARE(x.retriesUsed(), 0);
        QCOMPARE(t.requests(), 1);
    }

    // The default deadline: on TCP the serial rate plays no part; on a serial line the longest reply
    // at the line's rate is allowed for.
    void defaultDeadlineFollowsTheLine()
    {
        const QString folder = dir_.filePath(QStringLiteral("deadline"));
        QDir().mkpath(folder);
        writeFile(folder + QStringLiteral("/AttLink.ini"), "[Serial]\nBaud=1200\n");
        LinkSettings s = LinkSettings::load(folder);
        TcpChannel tcpChannel;
        SerialChannel serialChannel;
        const Exchange tcp(tcpChannel, s), serial(serialChannel, s);
        const qint64 longest = Frame::OverheadSize + Frame::MaxPayload;
        const int onTcp = int(1500 + 200 + longest * 10 * 1000 * 5 / 4 / 115200);
        QCOMPARE(tcp.attemptDeadlineMs(), onTcp);
        QCOMPARE(serial.attemptDeadlineMs(), int(1500 + 200 + longest * 10 * 1000 * 5 / 4 / 1200));
        s.baud = 115200;
        QCOMPARE(tcp.attemptDeadlineMs(), onTcp);
        QCOMPARE(serial.attemptDeadlineMs(), onTcp);
        s.replyDeadlineMs = 5000;
        QCOMPARE(tcp.attemptDeadlineMs(), 5000);
    }

    // Replies to another sequence number are not ours: reported as such, not as a reply cut short.
    void repliesToAnotherRequestAreNotOurs()
    {
        LyingTerminal t(Mode::WrongSequence);
        const auto link = linkTo(t);
        qint32 count = -1;
        QVERIFY(!link->GatherRecordSum(QStringLiteral("105"), count, QStringLiteral("ok")).toBool());
        QCOMPARE(link->exchangeStats().lastFailure(), Exchange::Failure::NotOurs);
        QCOMPARE(t.requests(), 3);
    }

    // An incremental collection holds each reply to what its own header says and to the replies
    // before it; a deletion count beyond the serial asked for is damage; a terminal that never stops
    // sending is stopped by the collection's deadline.
    void incrementalRepliesAgreeWithThemselves()
    {
        QList<quint64> serials;
        const auto sink = [&](const SerialRecord &r) {
            serials << r.serial;
            return true;
        };
        quint64 last = 0;
        {
            LyingTerminal honest(Mode::Honest, 600);
            const auto link = linkTo(honest);
            QVERIFY2(link->recordsSince(105, 3, sink, last), qPrintable(link->lastError()));
            QCOMPARE(serials.size(), 597);
            QCOMPARE(serials.first(), quint64(4));
            QCOMPARE(last, quint64(600));
            QCOMPARE(link->skippedSerials().count, quint64(0));
        }
        serials.clear();
        LyingTerminal skips(Mode::SinceSkips, 600);
        const auto link = linkTo(skips);
        QVERIFY(!link->recordsSince(105, 3, sink, last));
        QCOMPARE(link->lastError(),
                 QStringLiteral("damaged reply: it sent serials from 7 where its count puts the oldest at 4"));
        QVERIFY(serials.isEmpty());
        QCOMPARE(last, quint64(3));
        const QString folder = folderWith(QStringLiteral("since-skips"), "earlier\r\n");
        AttctlRun r =
            attctl({QStringLiteral("--tcp"), QStringLiteral("127.0.0.1:") + skips.portText(), QStringLiteral("collect"),
                    QStringLiteral("--since"), QStringLiteral("3"), QStringLiteral("--dir"), folder});
        QVERIFY2(r.code != 0, qPrintable(r.out));
        QCOMPARE(fileBytes(folder + QStringLiteral("/DataRecordSet_original.txt")), QByteArray("earlier\r\n"));

        LyingTerminal greedy(Mode::DeletesTooMany, 600);
        const auto deleter = linkTo(greedy);
        qint64 deleted = -1;
        QVERIFY(!deleter->deleteRecordsUpTo(105, 3, deleted));
        QCOMPARE(deleter->lastError(),
                 QStringLiteral("damaged reply: 602 records deleted, but at most 3 can have a serial up to 3"));
        QCOMPARE(deleted, qint64(-1));
        r = attctl({QStringLiteral("--tcp"), QStringLiteral("127.0.0.1:") + greedy.portText(),
                    QStringLiteral("clear-records"), QStringLiteral("--up-to"), QStringLiteral("3"),
                    QStringLiteral("--yes")});
        QVERIFY(r.code != 0);
        QVERIFY2(!r.out.contains(QStringLiteral("602")), qPrintable(r.out));

        LyingTerminal endless(Mode::EndlessSince);
        const auto endlessLink = linkTo(endless, "CollectionDeadline=2\n");
        qint64 handed = 0;
        QVERIFY(!endlessLink->recordsSince(
            105, 0, [&](const SerialRecord &) { return ++handed > 0; }, last));
        QVERIFY2(endlessLink->lastError().startsWith(QStringLiteral("the collection did not end within 2 s")),
                 qPrintable(endlessLink->lastError()));
        QVERIFY(handed > 0);
        // It admitted that every serial before its 2^32-1 records is gone.
        QCOMPARE(endlessLink->skippedSerials().first, quint64(1));
        QCOMPARE(endlessLink->skippedSerials().last, ~quint64(0) - 0xFFFFFFFFull);
    }

    // A damaged reply is reported as damaged, not as silence, even when later attempts hear nothing.
    void damagedRepliesAreNotSilence()
    {
        LyingTerminal t(Mode::DamagedReplies);
        const auto link = linkTo(t);
        qint32 count = -1;
        QVERIFY(!link->GatherRecordSum(QStringLiteral("105"), count, QStringLiteral("ok")).toBool());
        QCOMPARE(link->exchangeStats().lastFailure(), Exchange::Failure::Damaged);
        QCOMPARE(AttLink::exchangeWords(link->lastResult()), QStringLiteral("应答校验错误"));
        QCOMPARE(t.requests(), 3);  // the first try and both retries
    }

    void storageModeIsOneOrTwo_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("expected");
        QTest::newRow("2") << int(Mode::Honest) << 2;
        QTest::newRow("65537 (no 16-bit code)") << int(Mode::StorageWraps) << -1;
        QTest::newRow("99") << int(Mode::StorageOutOfRange) << 99;
        QTest::newRow("0") << int(Mode::StorageZero) << 0;
    }
    // A code the terminal answers is handed on (the console says an abnormal one went wrong); only a
    // reply that reads as no 16-bit code is the failure -1.
    void storageModeIsOneOrTwo()
    {
        QFETCH(int, mode);
        QFETCH(int, expected);
        LyingTerminal t{Mode(mode)};
        const auto link = linkTo(t);
        QCOMPARE(link->GetStorageModel(QStringLiteral("105")).toInt(), expected);
    }

    // abandon() from another thread ends a request that would otherwise wait for minutes, and every
    // later one fails at once.
    void abandonEndsTheCallInProgress()
    {
        LyingTerminal t(Mode::Trickle);
        const auto link = linkTo(t, "ReplyDeadline=600000\nRetries=0\n");
        std::atomic<bool> started{false};
        std::thread closer([&] {
            while (t.requests() == 0) std::this_thread::yield();
            started = true;
            link->abandon();
        });
        QString message;
        qint32 count = -1;
        bool fullYear = false;
        const QVariant r = link->GatherData(QStringLiteral("105"), dir_.path(), QStringLiteral("abandoned.txt"),
                                            message, count, QStringLiteral("0"), 0, fullYear);
        closer.join();
        QVERIFY(started);
        QVERIFY(!r.toBool());
        QCOMPARE(message, QStringLiteral("通讯失败：通讯已中止"));
        QCOMPARE(link->exchangeStats().lastFailure(), Exchange::Failure::Abandoned);
        QVERIFY(!QFile::exists(dir_.filePath(QStringLiteral("abandoned.txt"))));
        QVERIFY(!link->ClearFlag(105).toBool());
        QCOMPARE(t.requests(), 1);
    }

    // attctl prints a terminal's text with its control characters made visible: no escape sequence
    // or carriage return reaches the user's terminal raw.
    void attctlShowsControlCharactersVisibly_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("expected");
        QTest::newRow("parameters") << QStringLiteral("read-parameters")
                                    << QStringLiteral("\\x1B]0;owned\\x07\\x1B[2J继电器延时0005\\x0DFORGED\\x1B[31m\n");
        QTest::newRow("clear log") << QStringLiteral("read-clear-log")
                                   << QStringLiteral("3,2009-03-05 08:07:06\\x1B[2J\\x0D;\\x7F\n");
        // A model holding LF cannot forge a `last-serial` line a script would act on.
        QTest::newRow("identify")
            << QStringLiteral("identify")
            << QStringLiteral("identity 5A3C0F1E22B14D07\nmodel VX\\x0Alast-serial 0\\x1B]0;x\\x07\n"
                              "firmware 2009-03-05\naddress 105\nclock 2026-12-09 08:00:00\nlast-serial 5\n");
    }
    void attctlShowsControlCharactersVisibly()
    {
        QFETCH(QString, command);
        QFETCH(QString, expected);
        LyingTerminal t(Mode::ControlText);
        QProcess p;
        p.start(attctlPath(), {QStringLiteral("--tcp"), QStringLiteral("127.0.0.1:") + t.portText(), command});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(p.readAllStandardOutput()), expected);
    }

    // What the link sends is held to the same name rule its replies are.
    void namesWithControlCharactersAreNotSent()
    {
        LyingTerminal t(Mode::Honest);
        const auto link = linkTo(t);
        QVERIFY(link->CardSendToMachine(105, QStringLiteral("0079A785"), QStringLiteral("00000012"),
                                        QStringLiteral("王芳"), QStringLiteral("00"), QStringLiteral("00000000"))
                    .toBool());
        for (const QString &name :
             {QStringLiteral("A\r\nB"), QStringLiteral("A\x1b[2J"), QString(QChar(0)), QStringLiteral("A\u202EB")})
            QVERIFY(!link->CardSendToMachine(105, QStringLiteral("0079A785"), QStringLiteral("00000012"), name,
                                             QStringLiteral("00"), QStringLiteral("00000000"))
                         .toBool());
        QCOMPARE(t.requests(), 1);
    }
};

QTEST_GUILESS_MAIN(LinkHostile)
#include "link_hostile.moc"
