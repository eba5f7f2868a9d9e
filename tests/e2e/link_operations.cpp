// The device link's record operations and its line against the terminal simulator, driven through
// the console's own buttons: over TCP (connected the way an operator does) and over the
// pseudo-terminal that AttLink.ini maps as Com2. The files the link writes and the simulator's state
// are both checked. Logs, alarms, the roster, the terminal's settings and its pictures are in
// link_roster_settings.

#include "common/TextCodec.h"
#include "support/LinkOperationsFixture.h"
#include "support/SimConsole.h"
#include "support/SimProcess.h"
#include "ui/RecordLineList.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Lines of a file that the link or the console wrote: every line must end in CR LF (a missing file
// has none).
QStringList crlfLines(const QString &path)
{
    const QString all = TextCodec::decode(fileBytes(path));
    if (all.isEmpty()) return {};
    if (!all.endsWith(QStringLiteral("\r\n"))) return {QStringLiteral("<no CR LF at the end>")};
    QStringList lines = all.split(QStringLiteral("\r\n"));
    lines.removeLast();
    return lines;
}

// The raw line the link must write for a record of the simulator's dump.
QString expectedRaw(int machine, const QJsonValue &record, bool decimal, bool fullYear)
{
    const QString card = record[QStringLiteral("card")].toString();
    const QString time = record[QStringLiteral("time")].toString().remove(u'-').remove(u':').remove(u' ');
    return QStringLiteral("%1").arg(machine, 3, 10, QLatin1Char('0'))
        + (decimal ? QStringLiteral("%1").arg(card.toULongLong(nullptr, 16), 10, 10, QLatin1Char('0')) : card)
        + (fullYear ? time : time.mid(2)) + record[QStringLiteral("flag")].toString();
}

}  // namespace

class LinkOperations : public QObject {
    Q_OBJECT
private slots:
    // ---- records ----

    void collectsOverThePtyAtStartUp()
    {
        SimProcess sim(args({"--terminal", "18", "--records", "300"}), SimProcess::WithPty);
        START(sim);
        SimConsole c(sim);  // Com2, the first-run port, is the simulator's pty; address 18 the first-run address
        c.w().Command4->click();
        QCOMPARE(c.w().statusText(), QStringLiteral(" 采集到的记录数为：300  共采集 300 条记录"));
        const QStringList raw = crlfLines(c.appFile(QStringLiteral("DataRecordSet_original.txt")));
        const QJsonArray records = sim.terminal(18)[QStringLiteral("records")].toArray();
        QCOMPARE(raw.size(), 300);
        QCOMPARE(records.size(), 300);
        for (int i = 0; i < 300; ++i) QCOMPARE(raw[i], expectedRaw(18, records[i], false, false));
        QCOMPARE(crlfLines(c.appFile(QStringLiteral("DataRecordSet.txt"))).first(), raw.first().left(23));
    }

    void collectsWithTheOptionsOverTcp_data()
    {
        QTest::addColumn<bool>("decimal");
        QTest::addColumn<bool>("fullYear");
        QTest::addColumn<int>("width");
        QTest::newRow("hexadecimal cards, short year") << false << false << 27;
        QTest::newRow("decimal cards") << true << false << 29;
        QTest::newRow("full year") << false << true << 29;
        QTest::newRow("both") << true << true << 31;
    }
    void collectsWithTheOptionsOverTcp()
    {
        QFETCH(bool, decimal);
        QFETCH(bool, fullYear);
        QFETCH(int, width);
        SimProcess sim(args({"--records", "1000", "--roster", "20"}));
        START(sim);
        SimConsole c(sim);
        QVERIFY(c.useTcp());
        c.w().TxtAddress->setText(QStringLiteral("105"));
        c.w().IsCheck->setChecked(decimal);
        c.w().YearCheck->setChecked(fullYear);
        c.w().Command4->click();
        QCOMPARE(c.w().statusText(), QStringLiteral(" 采集到的记录数为：1000  共采集 1000 条记录"));
        const QStringList raw = crlfLines(c.appFile(QStringLiteral("DataRecordSet_original.txt")));
        const QJsonArray records = sim.terminal(105)[QStringLiteral("records")].toArray();
        QCOMPARE(raw.size(), 1000);
        for (int i = 0; i < raw.size(); ++i) {
            QCOMPARE(raw[i].size(), width);
            QCOMPARE(raw[i], expectedRaw(105, records[i], decimal, fullYear));
        }
        const QStringList formatted = crlfLines(c.appFile(QStringLiteral("DataRecordSet.txt")));
        QCOMPARE(formatted.size(), 1000);
        QCOMPARE(formatted[0].size(), 23 + (decimal ? 2 : 0) + (fullYear ? 2 : 0));
    }

    void collectsAPacketRange_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("last");
        QTest::addColumn<int>("from");  // index of the first record expected
        QTest::addColumn<int>("count");
        QTest::newRow("packets 1 to 2 (the console's default)") << "1"
                                                                << "2" << 0 << 512;
        QTest::newRow("packets 2 to 3") << "2"
                                        << "3" << 256 << 512;
        QTest::newRow("the last packet is short") << "4"
                                                  << "9" << 768 << 232;
        QTest::newRow("past the end") << "5"
                                      << "6" << 0 << 0;
    }
    void collectsAPacketRange()
    {
        QFETCH(QString, first);
        QFETCH(QString, last);
        QFETCH(int, from);
        QFETCH(int, count);
        SimProcess sim(args({"--records", "1000"}));
        START(sim);
        SimConsole c(sim);
        QVERIFY(c.useTcp());
        c.w().TxtAddress->setText(QStringLiteral("105"));
        c.w().txtBeginPack->setText(first);
        c.w().txtEndPack->setText(last);
        c.w().Command2->click();
        QCOMPARE(c.w().statusText(), QStringLiteral(" 采集到的记录数为：%1  共采集 %1 条记录").arg(count));
        const QStringList raw = crlfLines(c.appFile(QStringLiteral("DataRecordSet_original.txt")));
        const QJsonArray records = sim.terminal(105)[QStringLiteral("records")].toArray();
        QCOMPARE(raw.size(), count);
        for (int i = 0; i < count; ++i) QCOMPARE(raw[i], expectedRaw(105, records[from + i], false, false));
    }

    void refusesABadPacketRangeWithoutARequest()
    {
        SimProcess sim(args({"--records", "10"}));
        START(sim);
        SimConsole c(sim);
        QVERIFY(c.useTcp());
        c.w().TxtAddress->setText(QStringLiteral("105"));
        c.w().txtBeginPack->setText(QStringLiteral("3"));
        c.w().txtEndPack->setText(QStringLiteral("2"));
        c.w().Command2->click();
        QCOMPARE(c.w().statusText(), QStringLiteral("采集不成功  包号无效"));
    }

    void countsClearsAndReadsFlags()
    {
        SimProcess sim(args({"--records", "300", "--roster", "5"}));
        START(sim);
        SimConsole c(sim);
        QVERIFY(c.useTcp());
        FrmZevo &w = c.w();
        w.TxtAddress->setText(QStringLiteral("105"));
        w.Command5->click();
        QCOMPARE(w.Label->text(), QStringLiteral("300 条"));

        const QString card = sim.terminal(105)[QStringLiteral("roster")][0][QStringLiteral("card")].toString();
        sim.send(QStringLiteral("present ") + card);
        w.Command9->click();
        QCOMPARE(w.statusText(), QStringLiteral("标志位：00"));
        sim.send(QStringLiteral("punch ") + card);
        w.Command9->click();
        QCOMPARE(w.statusText(), QStringLiteral("标志位：01"));
        w.Command8->click();
        QCOMPARE(w.statusText(), QStringLiteral("清除卡标志成功"));
        QCOMPARE(sim.terminal(105)[QStringLiteral("cardFlags")][card].toString(), QStringLiteral("00"));
        w.Command9->click();
        QCOMPARE(w.statusText(), QStringLiteral("标志位：00"));

        w.Command11->click();  // the operator answers Yes
        QCOMPARE(w.statusText(), QStringLiteral("删除记录成功"));
        const QJsonObject t = sim.terminal(105);
        QCOMPARE(t[QStringLiteral("records")].toArray().size(), 0);
        QCOMPARE(t[QStringLiteral("clearLog")][0][QStringLiteral("count")].toInt(), 301);
        w.Command5->click();
        QCOMPARE(w.Label->text(), QStringLiteral("0 条"));

        w.cmdReadClearLog->click();
        QVERIFY2(lastBox(c.op).startsWith(QStringLiteral("读取清除日志成功。\n\n301条，时间：")),
                 qPrintable(lastBox(c.op)));
    }

    void checksTheCollectedData()
    {
        SimProcess sim(args({"--records", "40"}));
        START(sim);
        SimConsole c(sim);
        QVERIFY(c.useTcp());
        FrmZevo &w = c.w();
        w.TxtAddress->setText(QStringLiteral("105"));
        w.Command4->click();
        w.cmdCheckData->click();
        QCOMPARE(w.statusText(), QStringLiteral("数据合法！"));
        QString message;
        bool fullYear = false;
        const QVariant code =
            c.link().CheckData(QStringLiteral("105"), c.appFolder(), QStringLiteral("DataRecordSet_original.txt"),
                               message, 3, 0, fullYear, QStringLiteral("2008/3/7 10:10"), 20);
        QCOMPARE(code.toInt(), 0);
        QVERIFY2(message.startsWith(QStringLiteral("共 40 条记录，时间从 2009/3/2 7:")), qPrintable(message));
        QCOMPARE(c.link()
                     .CheckData(QStringLiteral("105"), c.appFolder(), QStringLiteral("DataRecordSet_original.txt"),
                                message, 3, 0, fullYear, QStringLiteral("soon"), 20)
                     .toInt(),
                 -1);

        sim.send(QStringLiteral("punch 0079A785"));
        w.cmdCheckData->click();
        QCOMPARE(w.statusText(), QStringLiteral("数据非法，文件有 40 条记录，终端有 41 条"));

        const QString rawPath = c.appFile(QStringLiteral("DataRecordSet_original.txt"));
        QByteArray raw = fileBytes(rawPath);
        raw.replace(0, 3, "018");  // another terminal's machine number
        writeFile(rawPath, raw);
        w.cmdCheckData->click();
        QVERIFY2(w.statusText().startsWith(QStringLiteral("数据非法，第 1 行机号不是 105")),
                 qPrintable(w.statusText()));

        writeFile(rawPath, raw.mid(1));  // a line one character short
        w.cmdCheckData->click();
        QVERIFY2(w.statusText().startsWith(QStringLiteral("数据非法，第 1 行长度为 26，应为 27")),
                 qPrintable(w.statusText()));

        QFile::remove(rawPath);
        w.cmdCheckData->click();
        QVERIFY2(w.statusText().startsWith(QStringLiteral("数据非法，找不到记录文件")), qPrintable(w.statusText()));
    }

    void sendsRecordsToTheTerminal()
    {
        SimProcess sim;
        START(sim);
        SimConsole c(sim);
        QVERIFY(c.useTcp());
        FrmZevo &w = c.w();
        w.TxtAddress->setText(QStringLiteral("105"));
        w.Command17->click();
        w.Text1->setText(QStringLiteral("0079A785090305080706"));
        w.Command21->click();
        QCOMPARE(w.statusText(), QStringLiteral("发送成功"));
        w.Text1->setText(QStringLiteral("0079A785091305080706"));  // month 13
        w.Command21->click();
        QCOMPARE(w.statusText(), QStringLiteral("发送失败"));

        const QString lines = c.appFile(QStringLiteral("lines.txt"));
        writeFile(lines, "1050079A785090306073000\r\n105FFFFFFFF090306180102\r\n");
        c.op.files.enqueue(lines);
        w.Command18->click();
        QCOMPARE(w.List1->count(), 2);
        w.Command19->click();
        QCOMPARE(w.statusText(), QStringLiteral("第：1条发送成功"));

        const QJsonArray records = sim.terminal(105)[QStringLiteral("records")].toArray();
        QCOMPARE(records.size(), 3);
        QCOMPARE(records[0][QStringLiteral("time")].toString(), QStringLiteral("2009-03-05 08:07:06"));
        QCOMPARE(records[0][QStringLiteral("flag")].toString(), QStringLiteral("FF99"));
        QCOMPARE(records[1][QStringLiteral("card")].toString(), QStringLiteral("0079A785"));
        QCOMPARE(records[1][QStringLiteral("flag")].toString(), QStringLiteral("0102"));
        QCOMPARE(records[2][QStringLiteral("card")].toString(), QStringLiteral("FFFFFFFF"));
        QCOMPARE(records[2][QStringLiteral("time")].toString(), QStringLiteral("2009-03-06 18:01:02"));
    }

    // ---- the line ----

    void showsTheTcpStateAndDisconnects()
    {
        SimProcess sim;
        START(sim);
        SimConsole c(sim);
        QVERIFY(c.useTcp());
        QCOMPARE(c.link().tcpstate().toInt(), 7);
        QTRY_COMPARE_WITH_TIMEOUT(c.w().lblTcpState->text(), QStringLiteral("已连接"), 5000);
        c.w().cmdConnectNet->click();
        QCOMPARE(c.w().lblTcpState->text(), QStringLiteral("连接已断开"));
        QCOMPARE(c.link().tcpstate().toInt(), 0);
        c.w().Command5->click();
        QCOMPARE(c.w().Label->text(), QStringLiteral("0 条"));
    }

    void anAddressNoTerminalHasStaysSilent()
    {
        SimProcess sim(args({"--records", "3"}), SimProcess::WithPty);
        START(sim);
        SimConsole c(sim);
        c.w().TxtAddress->setText(QStringLiteral("104"));
        QElapsedTimer clock;
        clock.start();
        c.w().Command4->click();
        QVERIFY2(c.w().statusText().startsWith(QStringLiteral("采集不成功  通讯失败：")),
                 qPrintable(c.w().statusText()));
        QVERIFY(clock.elapsed() < 8000);  // a few response timeouts, not a hang
        QCOMPARE(crlfLines(c.appFile(QStringLiteral("DataRecordSet.txt"))), QStringList());
    }

    void collectsEveryRecordThroughCorruptedFrames()
    {
        // 5% of the replies damaged and 2% lost: every record still arrives, once, in order.
        SimProcess sim(args({"--records", "6000", "--corrupt", "0.05", "--drop", "0.02", "--seed", "7"}));
        START(sim);
        SimConsole c(sim);
        QVERIFY(c.useTcp());
        c.w().TxtAddress->setText(QStringLiteral("105"));
        c.w().Command4->click();
        QCOMPARE(c.w().statusText(), QStringLiteral(" 采集到的记录数为：6000  共采集 6000 条记录"));
        const QStringList raw = crlfLines(c.appFile(QStringLiteral("DataRecordSet_original.txt")));
        const QJsonArray records = sim.terminal(105)[QStringLiteral("records")].toArray();
        QCOMPARE(raw.size(), 6000);
        for (int i = 0; i < raw.size(); ++i) QCOMPARE(raw[i], expectedRaw(105, records[i], false, false));
    }

    void aCutConnectionLeavesTheEarlierFile_data()
    {
        QTest::addColumn<bool>("roster");
        QTest::newRow("records") << false;
        QTest::newRow("roster") << true;
    }
    void aCutConnectionLeavesTheEarlierFile()
    {
        QFETCH(bool, roster);
        const QString file = roster ? QStringLiteral("NameList.txt") : QStringLiteral("DataRecordSet_original.txt");
        QByteArray earlier;
        QTemporaryDir keep;
        {
            SimProcess sim(args({"--records", "20", "--roster", "20"}));
            START(sim);
            SimConsole c(sim);
            QVERIFY(c.useTcp());
            c.w().TxtAddress->setText(QStringLiteral("105"));
            (roster ? c.w().Cmd_GetNameList : c.w().Command4)->click();
            earlier = fileBytes(c.appFile(file));
            QVERIFY(!earlier.isEmpty());
            QVERIFY(QFile::copy(c.appFile(file), keep.filePath(file)));
        }
        SimProcess sim(args({"--records", "3000", "--roster", "3000", "--disconnect-after", "9000"}));
        START(sim);
        SimConsole c(sim);
        QVERIFY(QFile::copy(keep.filePath(file), c.appFile(file)));
        QVERIFY(c.useTcp());
        c.w().TxtAddress->setText(QStringLiteral("105"));
        (roster ? c.w().Cmd_GetNameList : c.w().Command4)->click();
        const QString prefix =
            roster ? QStringLiteral("采集不成功,通讯失败：") : QStringLiteral("采集不成功  通讯失败：");
        QVERIFY2(c.w().statusText().startsWith(prefix), qPrintable(c.w().statusText()));
        QCOMPARE(fileBytes(c.appFile(file)), earlier);
        QCOMPARE(QDir(c.appFolder()).entryList({file + QStringLiteral("*")}, QDir::Files | QDir::Hidden).size(), 1);
    }

    void slowLineStillCollects()
    {
        // A paced line with delayed replies: the timeouts of AttLink.ini must carry a whole packet.
        SimProcess sim(args({"--records", "600", "--baud", "115200", "--delay", "50"}), SimProcess::WithPty);
        START(sim);
        SimConsole c(sim);
        c.w().TxtAddress->setText(QStringLiteral("105"));
        c.w().Command4->click();
        QCOMPARE(c.w().statusText(), QStringLiteral(" 采集到的记录数为：600  共采集 600 条记录"));
    }

    void stateSurvivesARestart()
    {
        QTemporaryDir dir;
        const QString state = dir.filePath(QStringLiteral("state.json"));
        {
            SimProcess sim(args({"--records", "5"}) << QStringLiteral("--state") << state);
            START(sim);
            SimConsole c(sim);
            QVERIFY(c.useTcp());
            c.w().TxtAddress->setText(QStringLiteral("105"));
            c.w().Text8->setText(QStringLiteral("4321"));
            c.w().Command30->click();
            sim.stop();
            QCOMPARE(sim.exitCode(), 0);
        }
        SimProcess sim(args({"--records", "99"}) << QStringLiteral("--state") << state);
        START(sim);
        const QJsonObject t = sim.terminal(105);
        QCOMPARE(t[QStringLiteral("records")].toArray().size(), 5);
        QCOMPARE(t[QStringLiteral("password")].toString(), QStringLiteral("4321"));
    }
};

QTEST_MAIN(LinkOperations)
#include "link_operations.moc"
