#include "support/WindowFixture.h"

#include <QPushButton>
#include <QRadioButton>
#include <QTest>

namespace {
struct Words {
    QString relay, interval, mode;
};
Words sent(const FakeDeviceLink &link)
{
    const auto call = link.callsOf("RepairSystemParameter").last();
    return {call.arg(2).toString(), call.arg(3).toString(), call.arg(4).toString()};
}
}  // namespace

class ConfigParameters : public QObject {
    Q_OBJECT
private slots:
    void intervalWords_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("minutes");
        QTest::addColumn<QString>("word");
        QTest::newRow("delay 1440") << "Cmd_Delay"
                                    << "1440"
                                    << "05A0";
        QTest::newRow("delay 30") << "Cmd_Delay"
                                  << "30"
                                  << "001E";
        // 1440.6 does not fit the 4-character box; its word (05A1) is checked in the unit tests.
        QTest::newRow("delay 0030") << "Cmd_Delay"
                                    << "0030"
                                    << "001E";
        QTest::newRow("delay -1") << "Cmd_Delay"
                                  << "-1"
                                  << "FFFF";
        QTest::newRow("attendance 2000") << "Command13"
                                         << "2000"
                                         << "07D0";
        QTest::newRow("access 2000") << "Command23"
                                     << "2000"
                                     << "07D0";
        QTest::newRow("attendance -1") << "Command13"
                                       << "-1"
                                       << "FFFF";
        QTest::newRow("attendance default") << "Command13"
                                            << "0000"
                                            << "0000";
    }
    void intervalWords()
    {
        QFETCH(QString, button);
        QFETCH(QString, minutes);
        QFETCH(QString, word);
        WindowFixture f;
        f.link->clearCalls();
        f.w().Txt_Minute->setText(minutes);
        f.w().findChild<QPushButton *>(button)->click();
        QCOMPARE(f.link->count("RepairSystemParameter"), 1);
        QCOMPARE(sent(*f.link).interval, word);
        QVERIFY(f.op.boxes.isEmpty());
    }

    void relayWordsAsTyped()
    {
        WindowFixture f;
        for (auto [typed, word] : {std::pair{"5", "5000"}, {"05", "0500"}, {"00", "0000"}, {"1234", "1234"}}) {
            f.w().TxtY->setText(typed);
            f.w().Command13->click();
            QCOMPARE(sent(*f.link).relay, QString(word));
        }
    }

    void modeWordsFollowTheOptionsExceptForTheDelay()
    {
        WindowFixture f;
        auto &w = f.w();
        QVERIFY(w.OpJT->isChecked());
        w.Cmd_Delay->click();
        QCOMPARE(sent(*f.link).mode, QString("0000"));
        w.Command13->click();
        QCOMPARE(sent(*f.link).mode, QString("0000"));
        w.Command23->click();
        QCOMPARE(sent(*f.link).mode, QString("8000"));
        w.OpFT->setChecked(true);
        w.Cmd_Delay->click();
        QCOMPARE(sent(*f.link).mode, QString("0000"));
        w.Command13->click();
        QCOMPARE(sent(*f.link).mode, QString("4000"));
        w.Command23->click();
        QCOMPARE(sent(*f.link).mode, QString("C000"));
    }

    void only1441RefusedByTheDelay()
    {
        WindowFixture f;
        auto &w = f.w();
        f.link->clearCalls();
        w.Txt_Minute->setText("1441");
        w.setStatusText("old");
        w.Cmd_Delay->click();
        QCOMPARE(f.link->count("RepairSystemParameter"), 0);
        QCOMPARE(f.op.boxes.size(), 1);
        QCOMPARE(f.op.boxes[0].text, QString("时间不能大于1440钟"));
        QCOMPARE(f.op.boxes[0].icon, OperatorInterface::Icon::None);
        QCOMPARE(f.op.boxes[0].title, QString("Zevo"));
        QCOMPARE(w.statusText(), QString());
        w.Command13->click();
        w.Command23->click();
        QCOMPARE(f.link->count("RepairSystemParameter"), 2);
        QCOMPARE(sent(*f.link).interval, QString("05A1"));
    }

    void nonNumericIntervalOrAddressSendsNothing()
    {
        WindowFixture f;
        auto &w = f.w();
        f.link->clearCalls();
        w.Txt_Minute->setText("ab");
        for (auto *b : {w.Cmd_Delay, w.Command13, w.Command23}) b->click();
        QCOMPARE(f.link->count("RepairSystemParameter"), 0);
        QCOMPARE(f.op.boxes.size(), 3);
        for (const auto &box : f.op.boxes) QCOMPARE(box.text, QString("时间不能大于1440钟"));

        w.Txt_Minute->setText("30");
        w.TxtAddress->setText("zz");
        w.Command23->click();
        QCOMPARE(f.link->count("RepairSystemParameter"), 0);
        QCOMPARE(f.op.boxes.last().text, QString("请输入考勤机地址。"));
    }

    void statusTexts()
    {
        WindowFixture f;
        auto &w = f.w();
        w.TxtAddress->setText("105");
        w.Cmd_Delay->click();
        QCOMPARE(w.statusText(), QString("设置打卡延时成功!"));
        QCOMPARE(f.link->callsOf("RepairSystemParameter").last().arg(1).toInt(), 105);
        f.link->script("RepairSystemParameter", false);
        w.Cmd_Delay->click();
        QCOMPARE(w.statusText(), QString("设置打卡延时失败"));
        f.link->script("RepairSystemParameter", QVariant());
        w.Command13->click();
        QCOMPARE(w.statusText(), QString("考勤模式设置失败!"));
        w.Command23->click();
        QCOMPARE(w.statusText(), QString("门禁模式设置成功!"));
        f.link->script("RepairSystemParameter", 0);
        w.Command23->click();
        QCOMPARE(w.statusText(), QString("门禁模式设置失败!"));
    }

    void readParametersShowsTheTextUnparsed()
    {
        WindowFixture f;
        auto &w = f.w();
        w.TxtAddress->setText(" 7");
        f.link->script("ReadSystemParameter", true, {{2, QString("relay=0500 interval=001E")}});
        w.Command24->click();
        const auto call = f.link->callsOf("ReadSystemParameter").last();
        QCOMPARE(call.arg(1).toString(), QString(" 7"));
        QCOMPARE(call.arg(2).toString(), QString());
        QCOMPARE(w.statusText(), QString("参数为：relay=0500 interval=001E"));
        f.link->script("ReadSystemParameter", false);
        w.Command24->click();
        QCOMPARE(w.statusText(), QString("读参数失败!"));
    }

    void linkErrorIsReportedAndTheWindowStaysUsable()
    {
        WindowFixture f;
        f.link->scriptError("RepairSystemParameter", 8002, "端口未打开");
        f.w().Command13->click();
        QCOMPARE(f.op.boxes.size(), 1);
        QCOMPARE(f.op.boxes[0].text, QString("8002:端口未打开"));
        f.w().Command13->click();
        QCOMPARE(f.w().statusText(), QString("考勤模式设置成功!"));
    }
};

QTEST_MAIN(ConfigParameters)
#include "config_parameters.moc"
