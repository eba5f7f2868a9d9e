#include "support/WindowFixture.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

// Record count, browsing, clearing the terminal's records and its card flags.
class RecordsHousekeeping : public QObject {
    Q_OBJECT
private slots:
    void recordCount_data()
    {
        QTest::addColumn<QVariant>("result");
        QTest::addColumn<QVariant>("count");  // null: the link leaves the count alone
        QTest::addColumn<QString>("shown");
        QTest::newRow("1234") << QVariant(true) << QVariant(1234) << "1234 条";
        QTest::newRow("unchanged") << QVariant(true) << QVariant() << "0 条";
        QTest::newRow("failed call still shows the count") << QVariant(false) << QVariant(17) << "17 条";
    }
    void recordCount()
    {
        QFETCH(QVariant, result);
        QFETCH(QVariant, count);
        QFETCH(QString, shown);
        WindowFixture f;
        auto &w = f.w();
        w.TxtAddress->setText("ab");  // no check here: the text goes to the link as it is
        w.setStatusText("old");
        QString duringCall;
        FakeDeviceLink::Answer a;
        a.result = result;
        if (!count.isNull()) a.outs = {{2, count}};
        a.effect = [&](const FakeDeviceLink::Call &) { duringCall = w.Label->text(); };
        f.link->script("GatherRecordSum", a);
        w.Command5->click();
        const auto c = f.link->callsOf("GatherRecordSum").last();
        QCOMPARE(c.arg(1).toString(), QString("ab"));
        QCOMPARE(c.arg(2).toInt(), 0);
        QCOMPARE(c.arg(3).toString(), QString("ok"));
        QCOMPARE(duringCall, QString("0"));
        QCOMPARE(w.Label->text(), shown);
        QCOMPARE(w.statusText(), QString("old"));
    }

    void recordCountErrorLeavesZero()
    {
        WindowFixture f;
        f.link->scriptError("GatherRecordSum", 8002, "通讯超时");
        f.w().Command5->click();
        QCOMPARE(f.w().Label->text(), QString("0"));
        QCOMPARE(f.op.boxes.size(), 1);
        QCOMPARE(f.op.boxes[0].text, QString("8002:通讯超时"));
    }

    void browse()
    {
        WindowFixture f;
        auto &w = f.w();
        w.Command1_8->click();
        QCOMPARE(w.statusText(), QString("没有采集数据可浏览，请先采集。"));
        QVERIFY(f.op.viewed.isEmpty());

        // After a failed collection the file exists, empty, and opens like any other.
        f.link->script("GatherData", false);
        w.Command4->click();
        w.setStatusText("old");
        w.Command1_8->click();
        QCOMPARE(f.op.viewed, QList<QString>{f.appFile("DataRecordSet.txt")});
        QCOMPARE(w.statusText(), QString("old"));

        f.op.viewerWorks = false;
        w.Command1_8->click();
        QCOMPARE(f.op.boxes.size(), 1);
        QCOMPARE(f.op.boxes[0].text, QString("无法打开文本查看程序：") + f.appFile("DataRecordSet.txt"));
    }

    void clearRecordsAnsweredNoChangesNothing()
    {
        WindowFixture f;
        auto &w = f.w();
        f.link->clearCalls();
        w.setStatusText("old");
        f.op.answers.enqueue(OperatorInterface::Answer::No);
        w.Command11->click();
        QCOMPARE(f.op.boxes.size(), 1);
        QCOMPARE(f.op.boxes[0].text, QString("注意：确定它将删除考勤机中所有的考勤记录吗？"));
        QCOMPARE(f.op.boxes[0].buttons, OperatorInterface::Buttons::YesNo);
        QCOMPARE(f.op.boxes[0].icon, OperatorInterface::Icon::Critical);
        QCOMPARE(f.op.boxes[0].title, QString("Zevo"));
        QVERIFY(f.link->calls.isEmpty());
        QCOMPARE(w.statusText(), QString("old"));
    }

    void clearRecordsAnsweredYes()
    {
        WindowFixture f;
        auto &w = f.w();
        w.setStatusText("old");
        QString duringCall = "unset";
        FakeDeviceLink::Answer a;
        a.effect = [&](const FakeDeviceLink::Call &) { duringCall = w.statusText(); };
        f.link->script("ClearRecord", a);
        w.Command11->click();
        QCOMPARE(duringCall, QString());
        QCOMPARE(w.statusText(), QString("删除记录成功"));
        f.link->script("ClearRecord", 0);
        w.Command11->click();
        QCOMPARE(w.statusText(), QString("删除记录不成功"));
    }

    // The three commands that check the address, with each outcome's status text.
    void addressCheckedCommands_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("op");
        QTest::addColumn<QVariant>("result");
        QTest::addColumn<QString>("status");
        QTest::newRow("clear true") << "Command11"
                                    << "ClearRecord" << QVariant(1) << "删除记录成功";
        QTest::newRow("clear null") << "Command11"
                                    << "ClearRecord" << QVariant() << "删除记录不成功";
        QTest::newRow("flags true") << "Command8"
                                    << "ClearFlag" << QVariant(-1) << "清除卡标志成功";
        QTest::newRow("flags false") << "Command8"
                                     << "ClearFlag" << QVariant(false) << "清除卡标志不成功";
        QTest::newRow("flags null") << "Command8"
                                    << "ClearFlag" << QVariant() << "清除卡标志不成功";
        QTest::newRow("read flag") << "Command9"
                                   << "ReadCardNum" << QVariant("0079A785") << "标志位：";
    }
    void addressCheckedCommands()
    {
        QFETCH(QString, button);
        QFETCH(QString, op);
        QFETCH(QVariant, result);
        QFETCH(QString, status);
        WindowFixture f;
        auto &w = f.w();
        auto *b = w.findChild<QPushButton *>(button);
        QVERIFY(b);
        f.link->clearCalls();
        for (const char *bad : {"256", "-1", "x", ""}) {
            w.TxtAddress->setText(bad);
            w.setStatusText("old");
            b->click();
            QCOMPARE(w.statusText(), QString("old"));
        }
        QCOMPARE(f.op.boxes.size(), 4);
        for (const auto &box : f.op.boxes) {
            QCOMPARE(box.text, QString("请输入考勤机地址。"));
            QCOMPARE(box.icon, OperatorInterface::Icon::Question);
        }
        QVERIFY(f.link->calls.isEmpty());

        w.TxtAddress->setText(" 7");
        f.link->script(op, result);
        b->click();
        QCOMPARE(f.link->count(op), 1);
        QCOMPARE(f.link->callsOf(op).last().arg(1).toInt(), 7);
        QCOMPARE(w.statusText(), status);
    }

    void readFlagShowsCharactersFiveAndSix_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("status");
        QTest::newRow("four") << "ABCD"
                              << "标志位：";
        QTest::newRow("five") << "ABCDE"
                              << "标志位：E";
        QTest::newRow("six") << "ABCDEF"
                             << "标志位：EF";
        QTest::newRow("longer") << "0079A785"
                                << "标志位：A7";
        QTest::newRow("empty") << ""
                               << "标志位：";
    }
    void readFlagShowsCharactersFiveAndSix()
    {
        QFETCH(QString, reply);
        QFETCH(QString, status);
        WindowFixture f;
        // The result is not read: a failed read still shows what the reply holds.
        f.link->script("ReadCardNum", false, {{2, reply}});
        f.w().Command9->click();
        QCOMPARE(f.link->callsOf("ReadCardNum").last().arg(2).toString(), QString());
        QCOMPARE(f.w().statusText(), status);
    }

    void linkErrorsAreReportedAndTheWindowGoesOn()
    {
        WindowFixture f;
        auto &w = f.w();
        for (const char *op : {"ClearRecord", "ClearFlag", "ReadCardNum"}) f.link->scriptError(op, 8002, "通讯超时");
        w.setStatusText("old");
        w.Command11->click();
        QCOMPARE(w.statusText(), QString());  // emptied before the call, as a clear does
        w.setStatusText("old");
        w.Command8->click();
        w.Command9->click();
        QCOMPARE(w.statusText(), QString("old"));
        QCOMPARE(f.op.boxes.size(), 4);  // the confirmation and three reports
        for (int i = 1; i < 4; ++i) QCOMPARE(f.op.boxes[i].text, QString("8002:通讯超时"));
        w.Command8->click();
        QCOMPARE(w.statusText(), QString("清除卡标志成功"));
    }
};

QTEST_MAIN(RecordsHousekeeping)
#include "records_housekeeping.moc"
