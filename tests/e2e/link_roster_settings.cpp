// The device link's logs, alarms, roster and cards, the terminal's settings and its pictures, messages
// and voice against the terminal simulator, driven through the console's own buttons over TCP and
// over the pseudo-terminal that AttLink.ini maps as Com2. The files the link writes and the
// simulator's state are both checked.

#include "support/FileContent.h"
#include "support/LinkOperationsFixture.h"
#include "support/SimConsole.h"
#include "support/SimProcess.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QJsonArray>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

class LinkRosterSettings : public QObject {
    Q_OBJECT
private slots:
    // ---- logs, clock and alarms ----

    void logsDependOnTheFirmware_data()
    {
        QTest::addColumn<QString>("firmware");
        QTest::addColumn<bool>("clearLog");
        QTest::addColumn<bool>("timeLog");
        QTest::newRow("before both") << "2008-07-21" << false << false;
        QTest::newRow("clear log only") << "2008-07-22" << true << false;
        QTest::newRow("both") << "2008-07-28" << true << true;
    }
    void logsDependOnTheFirmware()
    {
        QFETCH(QString, firmware);
        QFETCH(bool, clearLog);
        QFETCH(bool, timeLog);
        SimProcess sim({QStringLiteral("--firmware"), firmware});
        START(sim);
        SimConsole c(sim);
        QVERIFY(c.useTcp());
        FrmZevo &w = c.w();
        w.TxtAddress->setText(QStringLiteral("105"));
        w.Command12->click();  // the operator's clock: 2009-03-05 08:07:06
        QCOMPARE(w.statusText(), QStringLiteral("修改日期成功"));
        const QJsonObject t = sim.terminal(105);
        QVERIFY2(t[QStringLiteral("clock")].toString().startsWith(QStringLiteral("2009-03-05 08:0")),
                 qPrintable(t[QStringLiteral("clock")].toString()));
        QCOMPARE(t[QStringLiteral("timeChangeLog")][0][QStringLiteral("after")].toString(),
                 QStringLiteral("2009-03-05 08:07:06"));

        w.setStatusText(QStringLiteral("before"));
        w.cmdReadClearLog->click();
        QCOMPARE(lastBox(c.op).startsWith(QStringLiteral("读取清除日志成功。")), clearLog);
        QCOMPARE(w.statusText(),
                 clearLog ? QStringLiteral("before")
                          : QStringLiteral("读取清除日志失败，请检查通讯或者该机器不支持此功能！"));
        w.Command25->click();
        QCOMPARE(lastBox(c.op).startsWith(QStringLiteral("读取修改时间日志成功。")), timeLog);
        if (timeLog)
            QVERIFY2(lastBox(c.op).endsWith(QStringLiteral("，修改后：2009-03-05 08:07:06")),
                     qPrintable(lastBox(c.op)));
    }

    void setsTheAlarmSchedule()
    {
        SimProcess sim;
        START(sim);
        SimConsole c(sim);
        QVERIFY(c.useTcp());
        FrmZevo &w = c.w();
        w.TxtAddress->setText(QStringLiteral("105"));
        w.TxtHour[0]->setText(QStringLiteral("7"));
        w.TxtMin[0]->setText(QStringLiteral("30"));
        w.TxtHour[9]->setText(QStringLiteral("23"));
        w.TxtMin[9]->setText(QStringLiteral("59"));
        w.Text7->setText(QStringLiteral("3"));
        w.CmdSetClock->click();
        QCOMPARE(w.statusText(), QStringLiteral("成功"));
        QJsonObject t = sim.terminal(105);
        const QJsonArray alarms = t[QStringLiteral("alarms")].toArray();
        QCOMPARE(alarms.size(), 11);
        QCOMPARE(alarms[0].toString(), QStringLiteral("07:30"));
        QCOMPARE(alarms[1].toString(), QStringLiteral("00:00"));
        QCOMPARE(alarms[9].toString(), QStringLiteral("23:59"));
        QCOMPARE(t[QStringLiteral("ringPeriod")].toString(), QStringLiteral("3"));

        w.Text7->setText(QStringLiteral("abc"));  // not a number of seconds: refused before sending
        w.CmdSetClock->click();
        QCOMPARE(w.statusText(), QStringLiteral("不成功"));
        QCOMPARE(sim.terminal(105)[QStringLiteral("ringPeriod")].toString(), QStringLiteral("3"));
    }

    // ---- roster and cards ----

    void collectsTheRoster_data()
    {
        QTest::addColumn<bool>("decimal");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("last");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("count");
        QTest::newRow("whole, hexadecimal") << false << QString() << QString() << 0 << 200;
        QTest::newRow("whole, decimal") << true << QString() << QString() << 0 << 200;
        QTest::newRow("packet 2 only") << false << "2"
                                       << "2" << 128 << 72;
    }
    void collectsTheRoster()
    {
        QFETCH(bool, decimal);
        QFETCH(QString, first);
        QFETCH(QString, last);
        QFETCH(int, from);
        QFETCH(int, count);
        SimProcess sim(args({"--roster", "200"}));
        START(sim);
        SimConsole c(sim);
        QVERIFY(c.useTcp());
        FrmZevo &w = c.w();
        w.TxtAddress->setText(QStringLiteral("105"));
        w.IsCheck->setChecked(decimal);
        if (first.isEmpty()) {
            w.Cmd_GetNameList->click();
        } else {
            w.txtBeginPack->setText(first);
            w.txtEndPack->setText(last);
            w.Cmd_GetNameList_All->click();
        }
        QCOMPARE(w.statusText(), QStringLiteral("  采集到的记录数为：%1,共采集 %1 条名单").arg(count));
        const QStringList lines = crlfLines(c.appFile(QStringLiteral("NameList.txt")));
        const QJsonArray roster = sim.terminal(105)[QStringLiteral("roster")].toArray();
        QCOMPARE(lines.size(), count);
        for (int i = 0; i < count; ++i) {
            const QJsonValue e = roster[from + i];
            const QString card = e[QStringLiteral("card")].toString();
            QCOMPARE(
                lines[i],
                (decimal ? QStringLiteral("%1").arg(card.toULongLong(nullptr, 16), 10, 10, QLatin1Char('0')) : card)
                    + u',' + e[QStringLiteral("jobNo")].toString() + u',' + e[QStringLiteral("name")].toString());
        }
    }

    void countsAndClearsTheRoster()
    {
        SimProcess sim(args({"--roster", "30", "--records", "12"}));
        START(sim);
        SimConsole c(sim);
        QVERIFY(c.useTcp());
        FrmZevo &w = c.w();
        w.TxtAddress->setText(QStringLiteral("105"));
        w.Command6->click();
        QCOMPARE(w.statusText(), QStringLiteral("采集成功"));
        QCOMPARE(w.Label7->text(), QStringLiteral("30 条"));
        w.Command10->click();  // Yes
        QCOMPARE(w.statusText(), QStringLiteral("删除名单表成功"));
        const QJsonObject t = sim.terminal(105);
        QCOMPARE(t[QStringLiteral("roster")].toArray().size(), 0);
        QCOMPARE(t[QStringLiteral("records")].toArray().size(), 0);  // as the operator was warned
        w.Command6->click();
        QCOMPARE(w.Label7->text(), QStringLiteral("0 条"));
    }

    void readsIssuesFindsAndWithdrawsACard()
    {
        SimProcess sim;
        START(sim);
        SimConsole c(sim);
        QVERIFY(c.useTcp());
        FrmZevo &w = c.w();
        w.TxtAddress->setText(QStringLiteral("105"));
        w.Command7->click();  // nothing on the reader
        QCOMPARE(w.statusText(), QStringLiteral("读取物理卡号不成功"));
        QCOMPARE(w.TxtCardNum->text(), QString());

        sim.send(QStringLiteral("present 0079A785"));
        w.Command7->click();
        QCOMPARE(w.TxtCardNum->text(), QStringLiteral("0007972741"));
        QCOMPARE(w.statusText(), QStringLiteral("物理卡号:0007972741"));

        w.TxtNo->setText(QStringLiteral("12"));
        w.TxtNewAddr->setText(QStringLiteral("王芳"));
        w.Command14->click();
        QCOMPARE(w.statusText(), QStringLiteral("卡号:00000012发送成功!"));
        const QJsonObject entry = sim.terminal(105)[QStringLiteral("roster")][0].toObject();
        QCOMPARE(entry[QStringLiteral("card")].toString(), QStringLiteral("0079A785"));
        QCOMPARE(entry[QStringLiteral("jobNo")].toString(), QStringLiteral("00000012"));
        QCOMPARE(entry[QStringLiteral("name")].toString(), QStringLiteral("王芳"));

        w.Command22->click();
        QCOMPARE(w.statusText(), QStringLiteral("卡号:0007972741存在"));
        w.Command15->click();
        QCOMPARE(w.statusText(), QStringLiteral("卡号:00000012清除成功"));
        QCOMPARE(sim.terminal(105)[QStringLiteral("roster")].toArray().size(), 0);
        w.Command22->click();
        QCOMPARE(w.statusText(), QStringLiteral("卡号:0007972741不存在"));
        w.Command15->click();  // no longer in the roster
        QCOMPARE(w.statusText(), QStringLiteral("卡号:00000012清除不成功"));
    }

    // ---- parameters, address, password, storage ----

    void writesAndReadsTheParameters()
    {
        SimProcess sim;
        START(sim);
        SimConsole c(sim);
        QVERIFY(c.useTcp());
        FrmZevo &w = c.w();
        w.TxtAddress->setText(QStringLiteral("105"));
        w.Txt_Minute->setText(QStringLiteral("60"));
        w.TxtY->setText(QStringLiteral("5"));
        w.Cmd_Delay->click();
        QCOMPARE(w.statusText(), QStringLiteral("设置打卡延时成功!"));
        QJsonObject p = sim.terminal(105)[QStringLiteral("parameters")].toObject();
        QCOMPARE(p[QStringLiteral("relay")].toString(), QStringLiteral("5000"));
        QCOMPARE(p[QStringLiteral("interval")].toString(), QStringLiteral("003C"));
        QCOMPARE(p[QStringLiteral("mode")].toString(), QStringLiteral("0000"));

        w.OpFT->setChecked(true);
        w.Command23->click();
        QCOMPARE(w.statusText(), QStringLiteral("门禁模式设置成功!"));
        w.Command24->click();
        QCOMPARE(w.statusText(), QStringLiteral("参数为：继电器延时5000 打卡间隔003C 模式C000"));

        w.TxtY->setText(QStringLiteral("xy"));  // the relay word is sent as typed: not hexadecimal, refused
        w.Command13->click();
        QCOMPARE(w.statusText(), QStringLiteral("考勤模式设置失败!"));
        QCOMPARE(sim.terminal(105)[QStringLiteral("parameters")][QStringLiteral("mode")].toString(),
                 QStringLiteral("C000"));
    }

    void changesTheAddress()
    {
        SimProcess sim(args({"--terminal", "105", "--terminal", "18", "--records", "7"}));
        START(sim);
        SimConsole c(sim);
        QVERIFY(c.useTcp());
        FrmZevo &w = c.w();
        w.TxtAddress->setText(QStringLiteral("105"));
        w.TxtNewAddr->setText(QStringLiteral("18"));  // taken by the other terminal on the line
        w.Command16->click();
        QCOMPARE(w.statusText(), QStringLiteral("地址修改不成功"));
        QCOMPARE(w.TxtAddress->text(), QStringLiteral("105"));

        w.TxtNewAddr->setText(QStringLiteral("77"));
        w.Command16->click();
        QCOMPARE(w.statusText(), QStringLiteral("地址修改成功"));
        QCOMPARE(w.TxtAddress->text(), QStringLiteral("77"));
        QCOMPARE(sim.terminal(77)[QStringLiteral("records")].toArray().size(), 7);
        w.Command5->click();  // the terminal now answers at 77
        QCOMPARE(w.Label->text(), QStringLiteral("7 条"));
    }

    void setsAndReadsThePasswordAndStorageMode()
    {
        SimProcess sim;
        START(sim);
        SimConsole c(sim);
        QVERIFY(c.useTcp());
        FrmZevo &w = c.w();
        w.TxtAddress->setText(QStringLiteral("105"));
        w.Text8->setText(QStringLiteral("7"));
        w.Command30->click();
        QCOMPARE(w.statusText(), QStringLiteral("设置密码成功"));
        QCOMPARE(sim.terminal(105)[QStringLiteral("password")].toString(), QStringLiteral("0007"));
        w.Command31->click();
        QCOMPARE(w.Text8->text(), QStringLiteral("0007"));
        QCOMPARE(w.statusText(), QStringLiteral("读取密码成功0007"));
        for (const char *bad : {"12345", "1.5", "-3", ""})  // the link refuses them itself, whatever the caller checked
            QVERIFY2(!c.link().SetMachinePassword(QStringLiteral("105"), QString::fromLatin1(bad)).toBool(), bad);
        QCOMPARE(sim.terminal(105)[QStringLiteral("password")].toString(), QStringLiteral("0007"));

        w.cmbStorageModel->setCurrentIndex(1);
        w.cmdSetStorage_1->click();
        QCOMPARE(sim.terminal(105)[QStringLiteral("storage")].toInt(), 2);
        w.cmdGetStorage->click();
        QCOMPARE(lastBox(c.op), QStringLiteral("考勤机处于脱机存储模式"));
        w.cmbStorageModel->setCurrentIndex(0);
        w.cmdSetStorage_1->click();
        w.cmdGetStorage->click();
        QCOMPARE(lastBox(c.op), QStringLiteral("考勤机处于实时上传模式"));
    }

    // ---- boot picture, pictures, messages, voice: serial only, so over the pty ----

    void sendsPicturesMessagesAndVoiceOverThePty()
    {
        SimProcess sim(args({"--terminal", "18"}), SimProcess::WithPty);
        START(sim);
        SimConsole c(sim);
        FrmZevo &w = c.w();
        w.Clear_Logo->click();
        QCOMPARE(w.statusText(), QStringLiteral("清除开机画面成功!"));
        QCOMPARE(sim.terminal(18)[QStringLiteral("logo")].toString(), QStringLiteral("cleared"));
        w.SetKorvaneLogo->click();
        QCOMPARE(sim.terminal(18)[QStringLiteral("logo")].toString(), QStringLiteral("maker"));

        QStringList rows;
        for (int y = 0; y < 64; ++y) {
            QString row;
            for (int x = 0; x < 128; ++x) row += (x + y) % 7 == 0 ? u'#' : u'.';
            rows << row;
        }
        const QString picture = c.appFile(QStringLiteral("logo.txt"));
        writeFile(picture, rows.join(QStringLiteral("\r\n")).toLatin1() + "\r\n");
        c.op.files.enqueue(picture);
        w.DOWNLOG->click();
        QCOMPARE(w.statusText(), QStringLiteral("下传图片成功!"));
        QJsonObject t = sim.terminal(18);
        QCOMPARE(t[QStringLiteral("logo")].toString(), QStringLiteral("picture"));
        const QJsonArray sent = t[QStringLiteral("picture")].toArray();
        QCOMPARE(sent.size(), 64);
        for (int y = 0; y < 64; ++y)
            QCOMPARE(sent[y].toString(), QString(rows[y]).replace(u'#', u'1').replace(u'.', u'0'));

        const QString bad = c.appFile(QStringLiteral("short.txt"));
        writeFile(bad, rows.mid(0, 63).join(u'\n').toLatin1());  // a row missing
        c.op.files.enqueue(bad);
        w.DOWNLOG->click();
        QCOMPARE(w.statusText(), QStringLiteral("下传图片失败!"));

        w.cmdSendMsg->click();
        w.Text6->setText(QStringLiteral("5"));
        w.TxtMsg->setText(QStringLiteral("下午三点开会"));
        w.Command26->click();
        QCOMPARE(w.statusText(), QStringLiteral(" 发送短信成功!"));
        t = sim.terminal(18);
        QCOMPARE(t[QStringLiteral("message")][QStringLiteral("text")].toString(), QStringLiteral("下午三点开会"));
        QCOMPARE(t[QStringLiteral("message")][QStringLiteral("minutes")].toInt(), 5);
        w.cmdSendMsg->click();
        w.Text6->clear();  // no display time: refused
        w.Command26->click();
        QCOMPARE(w.statusText(), QStringLiteral("发送短信失败!"));

        w.SoundNum->setText(QStringLiteral("3"));
        w.cmdGetSounds->click();
        QCOMPARE(w.statusText(), QStringLiteral("语音发送成功！"));
        QCOMPARE(sim.terminal(18)[QStringLiteral("voice")].toInt(), 3);
        w.SoundNum->setText(QStringLiteral("9"));  // the terminal has prompts 1 to 8
        w.cmdGetSounds->click();
        QCOMPARE(w.statusText(), QStringLiteral("语音发送失败！"));
    }
};

QTEST_MAIN(LinkRosterSettings)
#include "link_roster_settings.moc"
