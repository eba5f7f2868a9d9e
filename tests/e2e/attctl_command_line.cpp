// attctl's command line as a program: the global options and their errors, --version, the formatted
// records on standard output, and the messages of refused arguments.
#include "support/FileContent.h"
#include "support/AttctlProcess.h"
#include "support/SimProcess.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

class AttctlCommandLine : public QObject {
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

    void versionAndHelp()
    {
        const AttctlRun v = attctl({QStringLiteral("--version")});
        QCOMPARE(v.code, 0);
        QVERIFY2(QRegularExpression(QStringLiteral("^attctl \\d+\\.\\d+(\\.\\d+)?\\n$")).match(v.out).hasMatch(),
                 qPrintable(v.out));
        const AttctlRun h = attctl({QStringLiteral("-h")});
        QCOMPARE(h.code, 0);
        for (const char *text : {"--version", "--settings", "collect", "--stdout", "exit status"})
            QVERIFY2(h.out.contains(QLatin1String(text)), text);
        // An option after the command is the command's.
        const AttctlRun one = attctl({QStringLiteral("format"), QStringLiteral("--help")});
        QCOMPARE(one.code, 0);
        QVERIFY(one.out.startsWith(QStringLiteral("usage: attctl [OPTIONS] format RAW")));
    }

    // Each refused global option: exit 2, one line naming the option and what it wants, and no
    // terminal is asked (none listens on the address given).
    void globalOptionErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("named");
        QTest::addColumn<QString>("expected");
        QTest::newRow("value missing") << QStringList{QStringLiteral("--tcp")} << QStringLiteral("tcp") << QString();
        QTest::newRow("unknown option") << QStringList{QStringLiteral("--speed"), QStringLiteral("9600"),
                                                       QStringLiteral("count")}
                                        << QStringLiteral("speed") << QString();
        QTest::newRow("address too big") << QStringList{QStringLiteral("--address"), QStringLiteral("300"),
                                                        QStringLiteral("count")}
                                         << QStringLiteral("--address") << QStringLiteral("0 to 255");
        QTest::newRow("address not a number")
            << QStringList{QStringLiteral("--address"), QStringLiteral("8.0"), QStringLiteral("count")}
            << QStringLiteral("--address") << QStringLiteral("\"8.0\"");
        QTest::newRow("odd rate") << QStringList{QStringLiteral("--baud"), QStringLiteral("1234"),
                                                 QStringLiteral("count")}
                                  << QStringLiteral("--baud") << QStringLiteral("115200");
        QTest::newRow("com zero") << QStringList{QStringLiteral("--com"), QStringLiteral("0"), QStringLiteral("count")}
                                  << QStringLiteral("--com") << QStringLiteral("1 to 255");
        QTest::newRow("two transports") << QStringList{QStringLiteral("--tcp"), QStringLiteral("127.0.0.1:9"),
                                                       QStringLiteral("--device"), QStringLiteral("/dev/null"),
                                                       QStringLiteral("count")}
                                        << QStringLiteral("--device") << QString();
        QTest::newRow("no command") << QStringList{QStringLiteral("--address"), QStringLiteral("5")}
                                    << QStringLiteral("no command") << QString();
    }
    void globalOptionErrors()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, named);
        QFETCH(QString, expected);
        const AttctlRun r = attctl(args);
        QCOMPARE(r.code, 2);
        QCOMPARE(r.err.count(u'\n'), 1);
        QVERIFY(r.out.isEmpty());
        QVERIFY2(r.err.contains(named), qPrintable(r.err));
        QVERIFY2(r.err.contains(expected), qPrintable(r.err));
    }

    // --stdout and --dir - write the very bytes of DataRecordSet.txt to standard output; the summary
    // line moves to standard error; --dir - leaves nothing on disk.
    void formattedRecordsOnStandardOutput()
    {
        SimProcess sim({QStringLiteral("--records"), QStringLiteral("600")});
        if (!sim.start()) QFAIL(qPrintable(sim.errorText()));
        const QString layout = QStringLiteral("{机号},{卡号},{年}-{月}-{日} {时}:{分}:{秒}");
        const QString dir = work_.filePath(QStringLiteral("files"));
        const AttctlRun files = attctl(
            over(sim, {QStringLiteral("collect"), QStringLiteral("--dir"), dir, QStringLiteral("--layout"), layout}));
        QVERIFY2(files.code == 0, qPrintable(files.err));
        const QByteArray expected = fileBytes(dir + QStringLiteral("/DataRecordSet.txt"));
        QCOMPARE(expected.count('\n'), 600);

        const QString beside = work_.filePath(QStringLiteral("beside"));
        const AttctlRun piped = attctl(over(sim,
                                            {QStringLiteral("collect"), QStringLiteral("--stdout"),
                                             QStringLiteral("--dir"), beside, QStringLiteral("--layout"), layout}));
        QVERIFY2(piped.code == 0, qPrintable(piped.err));
        QCOMPARE(piped.outBytes, expected);
        QCOMPARE(piped.err, QStringLiteral("600\t600 records collected\n"));  // attctl speaks English
        QCOMPARE(fileBytes(beside + QStringLiteral("/DataRecordSet_original.txt")),
                 fileBytes(dir + QStringLiteral("/DataRecordSet_original.txt")));
        QVERIFY(!QFile::exists(beside + QStringLiteral("/DataRecordSet.txt")));

        QTemporaryDir cwd;
        AttctlOptions in;
        in.workingDirectory = cwd.path();
        const AttctlRun nothingKept = attctl(over(sim,
                                                  {QStringLiteral("collect"), QStringLiteral("--dir"),
                                                   QStringLiteral("-"), QStringLiteral("--layout"), layout}),
                                             in);
        QVERIFY2(nothingKept.code == 0, qPrintable(nothingKept.err));
        QCOMPARE(nothingKept.outBytes, expected);
        QVERIFY(QDir(cwd.path()).isEmpty());

        const AttctlRun offline =
            attctl({QStringLiteral("format"), dir + QStringLiteral("/DataRecordSet_original.txt"),
                    QStringLiteral("--dir"), QStringLiteral("-"), QStringLiteral("--layout"), layout},
                   in);
        QVERIFY2(offline.code == 0, qPrintable(offline.err));
        QCOMPARE(offline.outBytes, expected);
        QCOMPARE(offline.err, QStringLiteral("600\n"));
        QVERIFY(QDir(cwd.path()).isEmpty());
    }

    // Standard output that cannot take the records is a failure, not a success with records lost.
    void standardOutputThatCannotBeWritten()
    {
        if (!QFile::exists(QStringLiteral("/dev/full"))) QSKIP("no /dev/full here");
        const QString raw = work_.filePath(QStringLiteral("full.txt"));
        QFile f(raw);
        QVERIFY(f.open(QIODevice::WriteOnly));
        for (int i = 0; i < 2000; ++i) f.write("1050079A785070927093628FFFF\r\n");
        f.close();
        AttctlOptions full;
        full.standardOutputFile = QStringLiteral("/dev/full");
        const AttctlRun r = attctl({QStringLiteral("format"), raw, QStringLiteral("--stdout")}, full);
        QVERIFY2(r.code != 0 && r.code != -1, qPrintable(QString::number(r.code)));
        QVERIFY2(r.err.contains(QStringLiteral("cannot write")), qPrintable(r.err));
    }

    // A file of two-digit years formatted as four-digit ones (or the other way round) would shift
    // every field: exit 2, nothing written.
    void formatRefusesAFileOfAnotherWidth_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QStringList>("flags");
        QTest::newRow("two-digit file, --full-year")
            << QByteArray("1050079A785070927093628FFFF") << QStringList{QStringLiteral("--full-year")};
        QTest::newRow("four-digit file, two-digit years")
            << QByteArray("1050079A78520070927093628FFFF") << QStringList{};
        QTest::newRow("hex file, --decimal --full-year")
            << QByteArray("1050079A78520070927093628FFFF")
            << QStringList{QStringLiteral("--decimal"), QStringLiteral("--full-year")};
    }
    void formatRefusesAFileOfAnotherWidth()
    {
        QFETCH(QByteArray, line);
        QFETCH(QStringList, flags);
        const QString raw = work_.filePath(QStringLiteral("width.txt"));
        QFile f(raw);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(line + "\r\n" + line + "\r\n");
        f.close();
        const QString dir = work_.filePath(QStringLiteral("width-out"));
        const AttctlRun r = attctl(QStringList{QStringLiteral("format"), raw, QStringLiteral("--dir"), dir} + flags);
        QCOMPARE(r.code, 2);
        QCOMPARE(r.err.count(u'\n'), 1);
        QVERIFY2(r.err.contains(QStringLiteral("line 1 of ")) && r.err.contains(QString::number(line.size())),
                 qPrintable(r.err));
        QVERIFY(!QFile::exists(dir + QStringLiteral("/DataRecordSet.txt")));
        const AttctlRun piped = attctl(QStringList{QStringLiteral("format"), raw, QStringLiteral("--stdout")} + flags);
        QCOMPARE(piped.code, 2);
        QVERIFY(piped.outBytes.isEmpty());
    }
    // A refused argument is named with the form it wants, before anything is sent: the terminal
    // keeps its state.
    void refusedArgumentsNameTheirForm_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("said");
        const auto l = [](std::initializer_list<const char *> items) {
            QStringList out;
            for (const char *i : items) out << QString::fromUtf8(i);
            return out;
        };
        QTest::newRow("short card") << l({"send-record", "0079A78", "070927093628"})
                                    << l({"card number", "8 hexadecimal", "\"0079A78\""});
        QTest::newRow("no such day") << l({"send-record", "0079A785", "070931093628"})
                                     << l({"date and time", "YYMMDDhhmmss"});
        QTest::newRow("card of letters") << l({"find-card", "0079A78Z"}) << l({"card number", "10 decimal"});
        QTest::newRow("long message") << l({"message", "5", "一二三四五六七八九十一二三四五六七"})
                                      << l({"32 bytes", "34 bytes"});
        QTest::newRow("message minutes") << l({"message", "five", "hello"}) << l({"minutes", "0 to 9999"});
        QTest::newRow("month 13") << l({"set-time", "2026-13-01", "08:00:00"}) << l({"the date", "YYYY-MM-DD"});
        QTest::newRow("hour 25") << l({"set-time", "2026-05-01", "25:00:00"}) << l({"the time", "hh:mm:ss"});
        QTest::newRow("long password") << l({"set-password", "12345"}) << l({"menu password", "1 to 4 digits"});
        QTest::newRow("voice 0") << l({"voice", "0"}) << l({"voice prompt", "1 to 255"});
        QTest::newRow("no job") << l({"issue-card", "0079A785"}) << l({"--job"});
        QTest::newRow("long name") << l({"issue-card", "0079A785", "--job", "7", "--name", "一二三四五六七八九"})
                                   << l({"name", "16 bytes"});
        QTest::newRow("parameter") << l({"set-parameters", "0001", "00G2", "0003"})
                                   << l({"the interval", "4 hexadecimal"});
        QTest::newRow("ring") << l({"set-alarms", "--ring", "300", "08:00"}) << l({"--ring", "0 to 255"});
    }
    void refusedArgumentsNameTheirForm()
    {
        QFETCH(QStringList, args);
        QFETCH(QStringList, said);
        SimProcess sim(
            {QStringLiteral("--records"), QStringLiteral("3"), QStringLiteral("--roster"), QStringLiteral("2")});
        if (!sim.start()) QFAIL(qPrintable(sim.errorText()));
        // The terminal's clock runs meanwhile; everything else must stay.
        const auto state = [&] {
            QJsonObject t = sim.terminal(105);
            t.remove(QStringLiteral("clock"));
            return t;
        };
        const QJsonObject before = state();
        const AttctlRun r = attctl(over(sim, args));
        QCOMPARE(r.code, 2);
        QCOMPARE(r.err.count(u'\n'), 1);
        for (const QString &s : said) QVERIFY2(r.err.contains(s), qPrintable(r.err + QStringLiteral(" lacks ") + s));
        QCOMPARE(state(), before);
    }

    void passwordAndRosterClearing()
    {
        SimProcess sim({QStringLiteral("--records"), QStringLiteral("3")});
        if (!sim.start()) QFAIL(qPrintable(sim.errorText()));
        QCOMPARE(attctl(over(sim, {QStringLiteral("set-password"), QStringLiteral("7")})).code, 0);
        const AttctlRun p = attctl(over(sim, {QStringLiteral("get-password")}));
        QCOMPARE(p.code, 0);
        QCOMPARE(p.out, QStringLiteral("0007\n"));
        // The terminal clears its records with the roster: the help says so, and so does the refusal.
        const AttctlRun h = attctl({QStringLiteral("clear-roster"), QStringLiteral("--help")});
        QCOMPARE(h.code, 0);
        QVERIFY2(h.out.contains(QStringLiteral("every record")), qPrintable(h.out));
        const AttctlRun refused = attctl(over(sim, {QStringLiteral("clear-roster")}));
        QCOMPARE(refused.code, 2);
        QVERIFY(refused.err.contains(QStringLiteral("every record")));
        QCOMPARE(sim.terminal(105)[QStringLiteral("records")].toArray().size(), 3);
    }
};

QTEST_GUILESS_MAIN(AttctlCommandLine)
#include "attctl_command_line.moc"
