// attctl run as a program against the terminal simulator: the files collect and format write, the
// simulator's state after the commands that change it, and the exit status of each kind of failure.
#include "attlink/protocol/RecordWire.h"
#include "common/TextCodec.h"
#include "support/FileContent.h"
#include "support/AttctlProcess.h"
#include "support/SimProcess.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

using Run = AttctlRun;

}  // namespace

class AttctlCommands : public QObject {
    Q_OBJECT

    QTemporaryDir work_;
    QString settings_;

    // The global options that reach `sim` over TCP, with quick timeouts so failures come fast.
    QStringList over(const SimProcess &sim, const QStringList &rest) const
    {
        return attctlOverTcp(settings_, sim.host(), sim.portText(), rest);
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(attctlPath()), qPrintable(attctlPath()));
        settings_ = writeQuickLinkSettings(work_.path());
        QVERIFY(!settings_.isEmpty());
    }

    // The help lists a command for every operation of the device link (the transport ones through
    // the global options), in the user's words: no line is 80 columns or wider, no internal operation
    // name shows, and the fleet commands have a section of their own before the others. Each
    // command has its own help; the fleet commands' tell the options, the fleet file's keys, the
    // default database and examples.
    void helpIsReadableAndComplete()
    {
        const Run r = attctl({QStringLiteral("--help")});
        QCOMPARE(r.code, 0);
        QStringList fleet, others;
        QStringList *section = nullptr;
        for (const QString &line : r.out.split(u'\n')) {
            if (line.startsWith(QStringLiteral("fleet commands")))
                section = &fleet;
            else if (line.startsWith(QStringLiteral("commands")))
                section = &others;
            else if (line.isEmpty())
                section = nullptr;
            else if (section && line.startsWith(QStringLiteral("  ")) && line.at(2).isLetter())
                *section << line.mid(2).section(QStringLiteral("  "), 0, 0);
        }
        QCOMPARE(fleet,
                 (QStringList{QStringLiteral("sync"), QStringLiteral("export"), QStringLiteral("status"),
                              QStringLiteral("serve"), QStringLiteral("watch"), QStringLiteral("roster plan"),
                              QStringLiteral("roster apply"),
                              QStringLiteral("roster pull")}));
        QVERIFY(r.out.indexOf(QStringLiteral("\nfleet commands")) < r.out.indexOf(QStringLiteral("\ncommands")));
        for (const char *command : {"version",      "tcp-state",      "collect",         "clear-records",
                                    "identify",     "format",         "count",           "clear-flags",
                                    "check",        "send-record",    "read-clear-log",  "read-time-log",
                                    "roster",       "roster-count",   "clear-roster",    "read-card",
                                    "issue-card",   "withdraw-card",  "find-card",       "set-time",
                                    "set-alarms",   "set-parameters", "read-parameters", "set-address",
                                    "set-password", "get-password",   "get-storage",     "set-storage",
                                    "logo",         "send-picture",   "message",         "voice",
                                    "ports"})
            QVERIFY2(others.contains(QLatin1String(command)), command);
        for (const char *option : {"--tcp", "--com", "--device", "--baud", "--address"})
            QVERIFY2(r.out.contains(QLatin1String(option)), option);
        const auto readable = [](const QString &command, const QString &help) {
            for (const QString &line : help.split(u'\n')) {
                int columns = 0;
                for (const QChar c : line) columns += c.unicode() >= 0x1100 ? 2 : 1;
                QVERIFY2(columns < 80, qPrintable(command + QStringLiteral(": ") + line));
            }
            for (const char *op :
                 {"GatherData", "ClearRecord", "GatherSendCardData", "SetMachinePassword", "(Ver)", "tcpstate"})
                QVERIFY2(!help.contains(QLatin1String(op)),
                         qPrintable(command + QStringLiteral(": ") + QLatin1String(op)));
        };
        readable(QStringLiteral("--help"), r.out);
        for (const QString &command : fleet + others) {
            const Run one = attctl(command.split(u' ') << QStringLiteral("--help"));
            QCOMPARE(one.code, 0);
            QVERIFY2(one.out.startsWith(QStringLiteral("usage: attctl [OPTIONS] ") + command), qPrintable(one.out));
            readable(command, one.out);
        }
        const Run sync = attctl({QStringLiteral("sync"), QStringLiteral("--help")});
        const Run exportHelp = attctl({QStringLiteral("export"), QStringLiteral("--help")});
        for (const char *text : {"--fleet FILE", "--dry-run", "--lock-dir", "line = tcp:HOST:PORT", "address = 0..255",
                                 "clear-after-sync", "clock-tolerance", "~/.local/share/zevo/punches.sqlite",
                                 "examples:", "attctl sync --fleet", "postgresql://"})
            QVERIFY2(sync.out.contains(QString::fromUtf8(text)), text);
        for (const char *text : {"--format F", "csv", "jsonl", "--out FILE", "~/.local/share/zevo/punches.sqlite",
                                 "examples:", "attctl export --from"})
            QVERIFY2(exportHelp.out.contains(QString::fromUtf8(text)), text);
    }

    // The raw and the formatted file of a collection of 1000 records, in each of the four widths.
    void collectWritesBothFiles_data()
    {
        QTest::addColumn<bool>("decimal");
        QTest::addColumn<bool>("fullYear");
        QTest::addColumn<int>("rawWidth");
        QTest::addColumn<int>("formattedWidth");
        QTest::newRow("defaults") << false << false << 27 << 23;
        QTest::newRow("decimal") << true << false << 29 << 25;
        QTest::newRow("full year") << false << true << 29 << 25;
        QTest::newRow("both") << true << true << 31 << 27;
    }
    void collectWritesBothFiles()
    {
        QFETCH(bool, decimal);
        QFETCH(bool, fullYear);
        QFETCH(int, rawWidth);
        QFETCH(int, formattedWidth);
        SimProcess sim(
            {QStringLiteral("--records"), QStringLiteral("1000"), QStringLiteral("--seed"), QStringLiteral("7")});
        if (!sim.start()) QFAIL(qPrintable(sim.errorText()));
        const QString dir = work_.filePath(QStringLiteral("collect-%1%2").arg(decimal).arg(fullYear));
        QStringList args{QStringLiteral("collect"), QStringLiteral("--dir"), dir};
        if (decimal) args << QStringLiteral("--decimal");
        if (fullYear) args << QStringLiteral("--full-year");
        const Run r = attctl(over(sim, args));
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY(r.out.startsWith(QStringLiteral("1000")));

        const QStringList raw = crlfLines(dir + QStringLiteral("/DataRecordSet_original.txt"));
        const QStringList formatted = crlfLines(dir + QStringLiteral("/DataRecordSet.txt"));
        QCOMPARE(raw.size(), 1000);
        QCOMPARE(formatted.size(), 1000);
        const QJsonArray records = sim.terminal(105)[QStringLiteral("records")].toArray();
        QCOMPARE(records.size(), 1000);
        for (int i = 0; i < 1000; ++i) {
            QCOMPARE(raw[i].size(), rawWidth);
            QCOMPARE(formatted[i].size(), formattedWidth);
            // The record itself, as the simulator holds it.
            const QJsonObject rec = records[i].toObject();
            uint32_t card = 0;
            QVERIFY(RecordWire::parseCard(rec[QStringLiteral("card")].toString(), card));
            const QString time = rec[QStringLiteral("time")].toString().remove(u'-').remove(u':').remove(u' ');
            const QString expected = QStringLiteral("105")
                + (decimal ? RecordWire::cardDecimal(card) : RecordWire::cardHex(card))
                + (fullYear ? time : time.mid(2)) + rec[QStringLiteral("flag")].toString();
            QCOMPARE(raw[i], expected);
            QCOMPARE(formatted[i], raw[i].left(formattedWidth));  // the default layout drops only the flag
        }
    }

    void collectInALayoutAndOverAPacketRange()
    {
        SimProcess sim({QStringLiteral("--records"), QStringLiteral("1000")});
        if (!sim.start()) QFAIL(qPrintable(sim.errorText()));
        const QString dir = work_.filePath(QStringLiteral("layout"));
        const Run r =
            attctl(over(sim,
                        {QStringLiteral("collect"), QStringLiteral("--dir"), dir, QStringLiteral("--from"),
                         QStringLiteral("2"), QStringLiteral("--to"), QStringLiteral("3"), QStringLiteral("--layout"),
                         QStringLiteral("{机号},{卡号},{年}-{月}-{日} {时}:{分}:{秒}")}));
        QVERIFY2(r.code == 0, qPrintable(r.err));
        const QStringList raw = crlfLines(dir + QStringLiteral("/DataRecordSet_original.txt"));
        const QStringList formatted = crlfLines(dir + QStringLiteral("/DataRecordSet.txt"));
        // Packets 2 and 3 of 256 records each.
        QCOMPARE(raw.size(), 512);
        QCOMPARE(formatted.size(), 512);
        const QJsonArray records = sim.terminal(105)[QStringLiteral("records")].toArray();
        QCOMPARE(raw[0].mid(3, 8), records[256].toObject()[QStringLiteral("card")].toString());
        const QString &l = raw[0];
        QCOMPARE(formatted[0],
                 QStringLiteral("%1,%2,%3-%4-%5 %6:%7:%8")
                     .arg(l.mid(0, 3), l.mid(3, 8), l.mid(11, 2), l.mid(13, 2), l.mid(15, 2), l.mid(17, 2),
                          l.mid(19, 2), l.mid(21, 2)));
    }

    void formatOfflineMatchesCollect()
    {
        SimProcess sim({QStringLiteral("--records"), QStringLiteral("300")});
        if (!sim.start()) QFAIL(qPrintable(sim.errorText()));
        const QString dir = work_.filePath(QStringLiteral("offline"));
        const QString layout = QStringLiteral("[{标志}] {卡号} {年}{月}{日}");
        QCOMPARE(attctl(over(sim,
                             {QStringLiteral("collect"), QStringLiteral("--dir"), dir, QStringLiteral("--full-year"),
                              QStringLiteral("--layout"), layout}))
                     .code,
                 0);
        const QStringList collected = crlfLines(dir + QStringLiteral("/DataRecordSet.txt"));
        const QString other = work_.filePath(QStringLiteral("offline-again"));
        const Run r =
            attctl({QStringLiteral("format"), dir + QStringLiteral("/DataRecordSet_original.txt"),
                    QStringLiteral("--dir"), other, QStringLiteral("--full-year"), QStringLiteral("--layout"), layout});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY(r.err.isEmpty());
        QCOMPARE(crlfLines(other + QStringLiteral("/DataRecordSet.txt")), collected);
        QCOMPARE(collected.size(), 300);
        QVERIFY(collected[0].startsWith(QStringLiteral("[0000] ")));
        // A layout of another width would shift every field: refused, and the earlier file stays.
        const Run narrow = attctl({QStringLiteral("format"), dir + QStringLiteral("/DataRecordSet_original.txt"),
                                   QStringLiteral("--dir"), other});
        QCOMPARE(narrow.code, 2);
        QVERIFY2(narrow.err.contains(QStringLiteral("line 1 ")), qPrintable(narrow.err));
        QCOMPARE(crlfLines(other + QStringLiteral("/DataRecordSet.txt")), collected);
    }

    void commandsChangeTheTerminal()
    {
        SimProcess sim(
            {QStringLiteral("--records"), QStringLiteral("10"), QStringLiteral("--roster"), QStringLiteral("3")});
        if (!sim.start()) QFAIL(qPrintable(sim.errorText()));
        auto ok = [&](const QStringList &args) {
            const Run r = attctl(over(sim, args));
            if (r.code != 0) qWarning() << args << r.code << r.err;
            return r.code == 0;
        };
        QVERIFY(ok({QStringLiteral("issue-card"), QStringLiteral("0079A785"), QStringLiteral("--job"),
                    QStringLiteral("0042"), QStringLiteral("--name"), QStringLiteral("张三")}));
        QVERIFY(ok({QStringLiteral("message"), QStringLiteral("5"), QStringLiteral("明天放假")}));
        QVERIFY(ok({QStringLiteral("set-time"), QStringLiteral("2026-05-01"), QStringLiteral("08:30:00")}));
        QVERIFY(ok({QStringLiteral("clear-records"), QStringLiteral("--yes")}));
        const QJsonObject t = sim.terminal(105);
        QVERIFY(t[QStringLiteral("records")].toArray().isEmpty());
        QCOMPARE(t[QStringLiteral("message")].toObject()[QStringLiteral("text")].toString(),
                 QStringLiteral("明天放假"));
        QVERIFY(t[QStringLiteral("clock")].toString().startsWith(QStringLiteral("2026-05-01 08:3")));
        bool issued = false;
        for (const QJsonValue &e : t[QStringLiteral("roster")].toArray())
            issued |= e[QStringLiteral("card")].toString() == QStringLiteral("0079A785")
                && e[QStringLiteral("name")].toString() == QStringLiteral("张三");
        QVERIFY(issued);

        const Run found = attctl(over(sim, {QStringLiteral("find-card"), QStringLiteral("0079A785")}));
        QCOMPARE(found.code, 0);
        QCOMPARE(found.out.trimmed(), QStringLiteral("found"));
        const Run count = attctl(over(sim, {QStringLiteral("roster-count")}));
        QCOMPARE(count.out.trimmed(), QStringLiteral("4"));
    }

    // Exit status 1: the terminal answers and refuses (no card is held to the reader).
    void terminalRefusalExitsOne()
    {
        SimProcess sim;
        if (!sim.start()) QFAIL(qPrintable(sim.errorText()));
        const Run r = attctl(over(sim, {QStringLiteral("read-card")}));
        QCOMPARE(r.code, 1);
        QVERIFY(r.out.isEmpty());
        QCOMPARE(r.err.count(u'\n'), 1);
        QVERIFY(r.err.startsWith(QStringLiteral("attctl: ")));
    }

    // Exit status 2: nothing reaches the terminal, and its records stay.
    void usageErrorExitsTwo_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("clear without --yes") << QStringList{QStringLiteral("clear-records")};
        QTest::newRow("unknown command") << QStringList{QStringLiteral("erase-everything")};
        QTest::newRow("unknown field") << QStringList{QStringLiteral("collect"), QStringLiteral("--layout"),
                                                      QStringLiteral("{card}")};
        QTest::newRow("half a range") << QStringList{QStringLiteral("collect"), QStringLiteral("--from"),
                                                     QStringLiteral("2")};
        QTest::newRow("range backwards") << QStringList{QStringLiteral("collect"), QStringLiteral("--from"),
                                                        QStringLiteral("3"), QStringLiteral("--to"),
                                                        QStringLiteral("2")};
        QTest::newRow("bad card") << QStringList{QStringLiteral("send-record"), QStringLiteral("0079A78"),
                                                 QStringLiteral("070927093628")};
        QTest::newRow("extra argument") << QStringList{QStringLiteral("count"), QStringLiteral("now")};
    }
    void usageErrorExitsTwo()
    {
        QFETCH(QStringList, args);
        SimProcess sim({QStringLiteral("--records"), QStringLiteral("5")});
        if (!sim.start()) QFAIL(qPrintable(sim.errorText()));
        const QString dir = work_.filePath(QStringLiteral("usage"));
        if (args.first() == QLatin1String("collect")) args << QStringLiteral("--dir") << dir;
        const Run r = attctl(over(sim, args));
        QCOMPARE(r.code, 2);
        QCOMPARE(r.err.count(u'\n'), 1);
        QCOMPARE(sim.terminal(105)[QStringLiteral("records")].toArray().size(), 5);
        QVERIFY(!QFile::exists(dir + QStringLiteral("/DataRecordSet.txt")));
    }

    // Exit status 3: no terminal to talk to.
    void communicationFailureExitsThree()
    {
        quint16 port = 0;
        {
            SimProcess sim;
            if (!sim.start()) QFAIL(qPrintable(sim.errorText()));
            port = sim.port();
        }  // stopped: nothing listens on its port any more
        const Run r = attctl({QStringLiteral("--settings"), settings_, QStringLiteral("--tcp"),
                              QStringLiteral("127.0.0.1:%1").arg(port), QStringLiteral("count")});
        QCOMPARE(r.code, 3);
        QCOMPARE(r.err.count(u'\n'), 1);
    }
};

QTEST_GUILESS_MAIN(AttctlCommands)
#include "attctl_commands.moc"
