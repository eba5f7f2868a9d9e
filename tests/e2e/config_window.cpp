// The configuration buttons of the window against attsim through our device link: clock and the
// time-change log, alarms, parameters, storage mode, password, a change of address, the boot picture,
// a picture file, a short message and a voice prompt, each seen in the simulator's own state.
#include "support/SimConsole.h"
#include "support/SimProcess.h"

#include <QComboBox>
#include <QFile>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#define START(sim) QVERIFY2((sim).start(), qPrintable((sim).errorText()))

namespace {

// A 128 x 64 dot picture: a frame around the display and a diagonal, in the text form the device
// link reads.
QStringList pictureRows()
{
    QStringList rows;
    for (int y = 0; y < 64; ++y) {
        QString row;
        for (int x = 0; x < 128; ++x)
            row += (y == 0 || y == 63 || x == 0 || x == 127 || x == 2 * y) ? QLatin1Char('1') : QLatin1Char('0');
        rows << row;
    }
    return rows;
}

QString writeFile(const QString &path, const QStringList &rows)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return QString();
    f.write(rows.join("\r\n").toLatin1() + "\r\n");
    return path;
}

QStringList strings(const QJsonValue &v)
{
    QStringList out;
    for (const QJsonValue &e : v.toArray()) out << e.toString();
    return out;
}

}  // namespace

class ConfigWindow : public QObject {
    Q_OBJECT
private slots:
    void clockAndTimeChangeLog()
    {
        SimProcess sim({"--terminal", "18"});
        START(sim);
        SimConsole c(sim);
        auto &w = c.w();
        QVERIFY(c.useTcp());
        w.TxtAddress->setText("18");
        c.op.clock = QDateTime(QDate(2009, 3, 5), QTime(8, 7, 6));
        w.Command12->click();
        QCOMPARE(w.statusText(), QString("修改日期成功"));
        const QJsonObject t = sim.terminal(18);
        QVERIFY2(t["clock"].toString().startsWith("2009-03-05 08:0"), qPrintable(t["clock"].toString()));
        const QJsonArray log = t["timeChangeLog"].toArray();
        QCOMPARE(log.size(), 1);
        QCOMPARE(log[0]["after"].toString(), QString("2009-03-05 08:07:06"));

        c.op.boxes.clear();
        w.Command25->click();
        QCOMPARE(c.op.boxes.size(), 1);
        const QString shown = c.op.boxes[0].text;
        QVERIFY2(shown.contains("08:07:06") || shown.contains("080706"), qPrintable(shown));
    }

    void alarmSchedule()
    {
        SimProcess sim({"--terminal", "18"});
        START(sim);
        SimConsole c(sim);
        auto &w = c.w();
        QVERIFY(c.useTcp());
        w.TxtAddress->setText("18");
        const int hours[10] = {7, 8, 12, 13, 17, 0, 23, 0, 0, 0}, minutes[10] = {30, 0, 0, 30, 45, 0, 59, 0, 0, 0};
        for (int i = 0; i < 10; ++i) {
            w.TxtHour[i]->setText(QString::number(hours[i]));
            w.TxtMin[i]->setText(QString::number(minutes[i]));
        }
        w.TxtHour[7]->setText("");  // empty boxes go as 0
        w.Text7->setText("5");
        w.CmdSetClock->click();
        QCOMPARE(w.statusText(), QString("成功"));
        const QJsonObject t = sim.terminal(18);
        const QStringList alarms = strings(t["alarms"]);
        QCOMPARE(alarms.size(), 11);
        QCOMPARE(alarms.mid(0, 7), QStringList({"07:30", "08:00", "12:00", "13:30", "17:45", "00:00", "23:59"}));
        QCOMPARE(alarms[10], QString("00:00"));
        QCOMPARE(t["ringPeriod"].toString(), QString("5"));

        w.Text7->setText("x");  // a ring period the terminal cannot take is not sent
        w.CmdSetClock->click();
        QCOMPARE(w.statusText(), QString("不成功"));
        QCOMPARE(sim.terminal(18)["ringPeriod"].toString(), QString("5"));
    }

    void parametersAndStorageMode()
    {
        SimProcess sim({"--terminal", "18"});
        START(sim);
        SimConsole c(sim);
        auto &w = c.w();
        QVERIFY(c.useTcp());
        w.TxtAddress->setText("18");
        w.Txt_Minute->setText("30");
        w.TxtY->setText("5");
        w.Cmd_Delay->click();
        QCOMPARE(w.statusText(), QString("设置打卡延时成功!"));
        QJsonObject p = sim.terminal(18)["parameters"].toObject();
        QCOMPARE(p["relay"].toString(), QString("5000"));
        QCOMPARE(p["interval"].toString(), QString("001E"));
        QCOMPARE(p["mode"].toString(), QString("0000"));

        w.OpFT->click();
        w.Txt_Minute->setText("2000");
        w.Command23->click();
        QCOMPARE(w.statusText(), QString("门禁模式设置成功!"));
        p = sim.terminal(18)["parameters"].toObject();
        QCOMPARE(p["interval"].toString(), QString("07D0"));
        QCOMPARE(p["mode"].toString(), QString("C000"));
        w.Command13->click();
        QCOMPARE(sim.terminal(18)["parameters"].toObject()["mode"].toString(), QString("4000"));

        w.Command24->click();
        QVERIFY2(w.statusText().startsWith("参数为："), qPrintable(w.statusText()));
        QVERIFY2(w.statusText().contains("07D0"), qPrintable(w.statusText()));

        w.cmbStorageModel->setCurrentIndex(1);
        w.cmdSetStorage_1->click();
        QCOMPARE(w.statusText(), QString("已下发修改模式指令"));
        QCOMPARE(sim.terminal(18)["storage"].toInt(), 2);
        c.op.boxes.clear();
        w.cmdGetStorage->click();
        QCOMPARE(c.op.boxes.size(), 1);
        QCOMPARE(c.op.boxes[0].text, QString("考勤机处于脱机存储模式"));
        w.cmbStorageModel->setCurrentIndex(0);
        w.cmdSetStorage_1->click();
        w.cmdGetStorage->click();
        QCOMPARE(c.op.boxes.last().text, QString("考勤机处于实时上传模式"));
        QCOMPARE(sim.terminal(18)["storage"].toInt(), 1);
    }

    void password()
    {
        SimProcess sim({"--terminal", "18"});
        START(sim);
        SimConsole c(sim);
        auto &w = c.w();
        QVERIFY(c.useTcp());
        w.TxtAddress->setText("18");
        w.Text8->setText("42");
        w.Command30->click();
        QCOMPARE(w.statusText(), QString("设置密码成功"));
        w.Text8->clear();
        w.Command31->click();
        QCOMPARE(w.Text8->text(), QString("0042"));
        QCOMPARE(w.statusText(), QString("读取密码成功0042"));
        QVERIFY2(sim.terminal(18)["password"].toString().endsWith("42"),
                 qPrintable(sim.terminal(18)["password"].toString()));
    }

    // After the change the console talks to the terminal under its new address, and no terminal answers
    // at the old one.
    void addressChange()
    {
        SimProcess sim({"--terminal", "18"});
        START(sim);
        SimConsole c(sim);
        auto &w = c.w();
        QVERIFY(c.useTcp());
        w.TxtAddress->setText("18");
        w.TxtNewAddr->setText("7");
        w.Command16->click();
        QCOMPARE(w.statusText(), QString("地址修改成功"));
        QCOMPARE(w.TxtAddress->text(), QString("7"));
        QVERIFY(sim.terminal(18).isEmpty());
        QCOMPARE(sim.terminal(7)["address"].toInt(), 7);

        w.Txt_Minute->setText("45");
        w.Cmd_Delay->click();
        QCOMPARE(w.statusText(), QString("设置打卡延时成功!"));
        QCOMPARE(sim.terminal(7)["parameters"].toObject()["interval"].toString(), QString("002D"));

        w.TxtAddress->setText("18");
        w.Cmd_Delay->click();
        QCOMPARE(w.statusText(), QString("设置打卡延时失败"));
    }

    // Pictures, messages and voice go over the serial line: in TCP mode their buttons are disabled.
    void bootPicturePictureMessageAndVoice()
    {
        SimProcess sim({"--terminal", "18"}, SimProcess::WithPty);
        START(sim);
        SimConsole c(sim);
        auto &w = c.w();
        QVERIFY(w.comButtonPressed(2));  // start-up opened the simulator's line
        w.TxtAddress->setText("18");

        w.Clear_Logo->click();
        QCOMPARE(w.statusText(), QString("清除开机画面成功!"));
        QCOMPARE(sim.terminal(18)["logo"].toString(), QString("cleared"));
        w.SetKorvaneLogo->click();
        QCOMPARE(w.statusText(), QString("设置开机画面成功，已恢复成‘Korvane’了"));
        QCOMPARE(sim.terminal(18)["logo"].toString(), QString("maker"));

        const QString file = writeFile(c.appFile("picture one.txt"), pictureRows());
        c.op.files.enqueue(file);
        w.DOWNLOG->click();
        QCOMPARE(w.statusText(), QString("下传图片成功!"));
        QCOMPARE(c.op.fileDialogs.last(), QString("FileOpen|文本文件|*.txt"));
        QJsonObject t = sim.terminal(18);
        QCOMPARE(t["logo"].toString(), QString("picture"));
        QCOMPARE(strings(t["picture"]), pictureRows());

        QStringList damaged = pictureRows();
        damaged[10].chop(1);
        c.op.files.enqueue(writeFile(c.appFile("damaged.txt"), damaged));
        w.DOWNLOG->click();
        QCOMPARE(w.statusText(), QString("下传图片失败!"));
        QCOMPARE(strings(sim.terminal(18)["picture"]), pictureRows());

        w.cmdSendMsg->click();
        QVERIFY(w.Picture3->isVisible() || w.Picture3->isVisibleTo(&w));
        w.TxtMsg->setText("请到人事部报到");
        w.Text6->setText("5");
        w.Command26->click();
        QCOMPARE(w.statusText(), QString(" 发送短信成功!"));
        QVERIFY(!w.Picture3->isVisibleTo(&w));
        t = sim.terminal(18);
        QCOMPARE(t["message"].toObject()["text"].toString(), QString("请到人事部报到"));
        QCOMPARE(t["message"].toObject()["minutes"].toInt(), 5);

        w.SoundNum->setText("3");
        w.cmdGetSounds->click();
        QCOMPARE(w.statusText(), QString("语音发送成功！"));
        QCOMPARE(sim.terminal(18)["voice"].toInt(), 3);
        w.SoundNum->setText("9");
        w.cmdGetSounds->click();
        QCOMPARE(w.statusText(), QString("语音发送失败！"));
        QCOMPARE(sim.terminal(18)["voice"].toInt(), 3);

        // In TCP mode the three serial-only buttons cannot be used.
        QVERIFY(c.useTcp());
        for (QPushButton *b : {w.DOWNLOG, w.cmdSendMsg, w.cmdGetSounds}) QVERIFY(!b->isEnabled());
        w.SetKorvaneLogo->click();  // the boot picture works over TCP as well
        QCOMPARE(w.statusText(), QString("设置开机画面成功，已恢复成‘Korvane’了"));
    }
};

QTEST_MAIN(ConfigWindow)
#include "config_window.moc"
