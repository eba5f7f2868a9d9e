// The device link against a simulator that damages the line: corrupted replies are asked for again
// and every record still arrives intact; a cut connection or a silent terminal fails clearly, within
// the configured timeouts, and leaves the files of an earlier collection as they were.
#include "attlink/AttLink.h"
#include "attlink/protocol/RecordWire.h"
#include "common/TextCodec.h"
#include "support/AttctlProcess.h"
#include "support/SimProcess.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int ResponseTimeoutMs = 300;
constexpr int InterByteTimeoutMs = 100;
constexpr int Retries = 3;

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// The raw lines the simulator's records must give, defaults widths.
QStringList expectedLines(const QJsonArray &records, int machine)
{
    QStringList out;
    for (const QJsonValue &v : records) {
        const QJsonObject r = v.toObject();
        const QString time = r[QStringLiteral("time")].toString().remove(u'-').remove(u':').remove(u' ');
        out << QStringLiteral("%1").arg(machine, 3, 10, QLatin1Char('0')) + r[QStringLiteral("card")].toString()
                + time.mid(2) + r[QStringLiteral("flag")].toString();
    }
    return out;
}

QStringList crlfLines(const QByteArray &bytes)
{
    QStringList lines = TextCodec::decode(bytes).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

}  // namespace

class LinkFaults : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

    // A link whose AttLink.ini (in its own folder) sets quick timeouts and maps Com2 to `pty`.
    std::unique_ptr<AttLink> linkIn(const QString &name, const QString &pty = {}, int retries = Retries)
    {
        const QString folder = dir_.filePath(name);
        QDir().mkpath(folder);
        QByteArray ini = QStringLiteral("[Link]\nResponseTimeout=%1\nInterByteTimeout=%2\nRetries=%3\n")
                             .arg(ResponseTimeoutMs)
                             .arg(InterByteTimeoutMs)
                             .arg(retries)
                             .toLatin1();
        if (!pty.isEmpty()) ini += "[Ports]\nCom2=" + pty.toLocal8Bit() + "\n";
        writeFile(folder + QStringLiteral("/AttLink.ini"), ini);
        return std::make_unique<AttLink>(folder);
    }

    static bool connect(AttLink &link, SimProcess &sim, bool pty)
    {
        if (pty) {
            link.Mode(0);
            QVariant port = 2;
            return link.SetPort(port).toBool();
        }
        link.Mode(1);
        return link.Connect_Net(sim.host(), sim.portText()).toBool();
    }

private slots:
    void corruptedFramesStillCollectEveryRecord_data()
    {
        QTest::addColumn<bool>("pty");
        QTest::addColumn<QString>("corrupt");
        QTest::addColumn<int>("records");
        QTest::addColumn<int>("retries");
        // TCP brings 40000 records in 3 replies, the serial line 20000 in 79: the damage needs a
        // higher rate on TCP to be seen at all, and more retries to be repaired.
        QTest::newRow("tcp") << false << QStringLiteral("0.5") << 40000 << 12;
        QTest::newRow("pty") << true << QStringLiteral("0.05") << 20000 << Retries;
    }
    void corruptedFramesStillCollectEveryRecord()
    {
        QFETCH(bool, pty);
        QFETCH(QString, corrupt);
        QFETCH(int, records);
        QFETCH(int, retries);
        SimProcess sim({QStringLiteral("--records"), QString::number(records), QStringLiteral("--corrupt"), corrupt,
                        QStringLiteral("--seed"), QStringLiteral("11")},
                       pty ? SimProcess::WithPty : SimProcess::NoPty);
        if (!sim.start()) QFAIL(qPrintable(sim.errorText()));
        const auto link =
            linkIn(pty ? QStringLiteral("corrupt-pty") : QStringLiteral("corrupt-tcp"), sim.ptyPath(), retries);
        QVERIFY(connect(*link, sim, pty));
        const QString folder = dir_.filePath(pty ? QStringLiteral("corrupt-pty") : QStringLiteral("corrupt-tcp"));
        QString message;
        qint32 count = 0;
        bool fullYear = false;
        const QVariant r = link->GatherData(QStringLiteral("105"), folder, QStringLiteral("DataRecordSet_original.txt"),
                                            message, count, QStringLiteral("2"), 0, fullYear);
        QVERIFY2(r.toBool(), qPrintable(message));
        QCOMPARE(count, records);
        // Damage happened and was repaired by asking again.
        QVERIFY(link->exchangeStats().badFrames() > 0);
        QVERIFY(link->exchangeStats().retriesUsed() > 0);
        const QStringList got = crlfLines(fileBytes(folder + QStringLiteral("/DataRecordSet_original.txt")));
        const QStringList expected = expectedLines(sim.terminal(105)[QStringLiteral("records")].toArray(), 105);
        QCOMPARE(got.size(), records);
        QVERIFY(got == expected);
    }

    void cutConnectionFailsAndKeepsTheEarlierFiles()
    {
        const QString folder = dir_.filePath(QStringLiteral("cut"));
        QDir().mkpath(folder);
        const QByteArray earlierRaw = "1050079A785070927093628IN01\r\n";
        const QByteArray earlierFormatted = "1050079A785070927093628\r\n";
        writeFile(folder + QStringLiteral("/DataRecordSet_original.txt"), earlierRaw);
        writeFile(folder + QStringLiteral("/DataRecordSet.txt"), earlierFormatted);

        // A reply and a half of records get through before the line is cut.
        SimProcess sim({QStringLiteral("--records"), QStringLiteral("50000"), QStringLiteral("--disconnect-after"),
                        QStringLiteral("60000")});
        if (!sim.start()) QFAIL(qPrintable(sim.errorText()));
        {
            const auto link = linkIn(QStringLiteral("cut-link"));
            QVERIFY(connect(*link, sim, false));
            QString message;
            qint32 count = -1;
            bool fullYear = false;
            QElapsedTimer t;
            t.start();
            const QVariant r =
                link->GatherData(QStringLiteral("105"), folder, QStringLiteral("DataRecordSet_original.txt"), message,
                                 count, QStringLiteral("2"), 0, fullYear);
            QVERIFY(!r.toBool());
            QCOMPARE(count, 0);
            QVERIFY2(message.contains(QStringLiteral("连接已断开")), qPrintable(message));
            QVERIFY2(t.elapsed() < 5000, "a closed connection is not worth waiting for");
        }
        QCOMPARE(fileBytes(folder + QStringLiteral("/DataRecordSet_original.txt")), earlierRaw);
        QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 2);  // no partial or temporary file left

        // attctl says so in one line, exits 3, and leaves the formatted file too.
        const QString settings = dir_.filePath(QStringLiteral("cut-link/AttLink.ini"));
        SimProcess again({QStringLiteral("--records"), QStringLiteral("50000"), QStringLiteral("--disconnect-after"),
                          QStringLiteral("60000")});
        if (!again.start()) QFAIL(qPrintable(again.errorText()));
        QProcess p;
        p.start(attctlPath(),
                {QStringLiteral("--settings"), settings, QStringLiteral("--tcp"),
                 again.host() + QLatin1Char(':') + again.portText(), QStringLiteral("collect"), QStringLiteral("--dir"),
                 folder});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 3);
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QCOMPARE(err.count(u'\n'), 1);
        QVERIFY2(err.contains(QStringLiteral("the connection was closed")), qPrintable(err));
        QCOMPARE(fileBytes(folder + QStringLiteral("/DataRecordSet_original.txt")), earlierRaw);
        QCOMPARE(fileBytes(folder + QStringLiteral("/DataRecordSet.txt")), earlierFormatted);
    }

    // A terminal that never answers: every attempt waits the response timeout once, no longer.
    void silentTerminalFailsWithinTheTimeouts_data()
    {
        QTest::addColumn<bool>("pty");
        QTest::newRow("tcp") << false;
        QTest::newRow("pty") << true;
    }
    void silentTerminalFailsWithinTheTimeouts()
    {
        QFETCH(bool, pty);
        SimProcess sim({QStringLiteral("--drop"), QStringLiteral("1")}, pty ? SimProcess::WithPty : SimProcess::NoPty);
        if (!sim.start()) QFAIL(qPrintable(sim.errorText()));
        const auto link = linkIn(pty ? QStringLiteral("silent-pty") : QStringLiteral("silent-tcp"), sim.ptyPath());
        QVERIFY(connect(*link, sim, pty));
        qint32 count = -1;
        QElapsedTimer t;
        t.start();
        QVERIFY(!link->GatherRecordSum(QStringLiteral("105"), count, QStringLiteral("ok")).toBool());
        const qint64 elapsed = t.elapsed();
        const qint64 configured = qint64(Retries + 1) * ResponseTimeoutMs;
        QCOMPARE(link->exchangeStats().retriesUsed(), Retries);
        QVERIFY2(elapsed >= configured * 9 / 10, qPrintable(QString::number(elapsed)));
        QVERIFY2(elapsed < configured + 3000, qPrintable(QString::number(elapsed)));
        QVERIFY(!link->exchangeStats().lastAnswered());
    }

    // A terminal at another address on the same line stays silent too: the reply never comes from
    // the wrong one.
    void onlyTheAddressedTerminalAnswers()
    {
        SimProcess sim({QStringLiteral("--terminal"), QStringLiteral("18"), QStringLiteral("--terminal"),
                        QStringLiteral("105"), QStringLiteral("--records"), QStringLiteral("7")});
        if (!sim.start()) QFAIL(qPrintable(sim.errorText()));
        const auto link = linkIn(QStringLiteral("multidrop"));
        QVERIFY(connect(*link, sim, false));
        qint32 count = -1;
        QVERIFY(link->GatherRecordSum(QStringLiteral("18"), count, QStringLiteral("ok")).toBool());
        QCOMPARE(count, 7);
        QVERIFY(link->GatherRecordSum(QStringLiteral("105"), count, QStringLiteral("ok")).toBool());
        QCOMPARE(count, 0);
        QVERIFY(!link->GatherRecordSum(QStringLiteral("77"), count, QStringLiteral("ok")).toBool());
        QVERIFY(!link->exchangeStats().lastAnswered());
    }
};

QTEST_GUILESS_MAIN(LinkFaults)
#include "link_faults.moc"
