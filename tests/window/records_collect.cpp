#include "common/TextCodec.h"
#include "support/WindowFixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

namespace {

const QString Raw = QStringLiteral("1050079A785070927093628FLAG");

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// A collection answer that writes the raw lines where the command asked for them.
FakeDeviceLink::Answer collected(const QByteArray &rawContent, qint32 count, const QString &message = QString())
{
    FakeDeviceLink::Answer a;
    a.result = true;
    a.outs = {{4, message}, {5, count}};
    a.effect = [rawContent](const FakeDeviceLink::Call &c) {
        QFile f(c.arg(2).toString() + QLatin1Char('/') + c.arg(3).toString());
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(rawContent);
    };
    return a;
}

void setSeparators(FrmZevo &w, const QStringList &separators)
{
    for (int i = 0; i < 9; ++i) w.TxtF[i]->setText(separators.value(i));
}

}  // namespace

class RecordsCollect : public QObject {
    Q_OBJECT
private slots:
    // The layout of the record-format panel in force at the time of the collection, through Command4.
    void layoutOfThePanel_data()
    {
        QTest::addColumn<QString>("raw");
        QTest::addColumn<QStringList>("separators");
        QTest::addColumn<QStringList>("names");  // empty: the defaults
        QTest::addColumn<bool>("decimal");
        QTest::addColumn<bool>("fullYear");
        QTest::addColumn<QByteArray>("formatted");
        const QStringList none;
        const QStringList commas{"", ",", ",", "-", "-", " ", ":", ":", ""};
        QTest::newRow("defaults drop the flag")
            << Raw << none << none << false << false << QByteArray("1050079A785070927093628\r\n");
        QTest::newRow("separators") << Raw << commas << none << false << false
                                    << QByteArray("105,0079A785,07-09-27 09:36:28\r\n");
        QTest::newRow("decimal cards") << "1051234567890070927093628ABCD" << none
                                       << QStringList{"机号", "卡号", "年", "月", "日", "时", "分", "标志"} << true
                                       << false << QByteArray("10512345678900709270936ABCD\r\n");
        QTest::newRow("full year") << "1050079A78520070927093628ABCD" << commas
                                   << QStringList{"机号", "卡号", "年", "月", "日", "时", "分", "标志"} << false << true
                                   << QByteArray("105,0079A785,2007-09-27 09:36:ABCD\r\n");
        QTest::newRow("both widths") << "105123456789020070927093628ABCD" << none
                                     << QStringList{"年", "标志", "卡号", "", "", "", "", ""} << true << true
                                     << QByteArray("2007ABCD1234567890\r\n");
        QTest::newRow("trimmed and emptied names")
            << Raw << commas << QStringList{"机号", "", " 年 ", "月", "日", "时", "分", "秒"} << false << false
            << QByteArray("105,,07-09-27 09:36:28\r\n");
        QTest::newRow("repeated and unknown names") << Raw << QStringList{"[", "|", "|", "|", "", "", "", "", "]"}
                                                    << QStringList{"机号", "机号", "卡", "秒", "", "", "", ""} << false
                                                    << false << QByteArray("[105|105||28]\r\n");
        QTest::newRow("short raw line") << "1050079A785" << commas << none << false << false
                                        << QByteArray("105,0079A785,-- ::\r\n");
        QTest::newRow("separator in GB18030") << Raw << QStringList{"", "号", "", "", "", "", "", "", "。"} << none
                                              << false << false << TextCodec::encode("105号0079A785070927093628。\r\n");
    }
    void layoutOfThePanel()
    {
        QFETCH(QString, raw);
        QFETCH(QStringList, separators);
        QFETCH(QStringList, names);
        QFETCH(bool, decimal);
        QFETCH(bool, fullYear);
        QFETCH(QByteArray, formatted);
        WindowFixture f;
        auto &w = f.w();
        setSeparators(w, separators);
        for (int i = 0; i < names.size(); ++i) w.TxtT[i]->setText(names[i]);
        w.IsCheck->setChecked(decimal);
        w.YearCheck->setChecked(fullYear);
        f.link->script("GatherData", collected(raw.toLatin1() + "\r\n", 1));
        w.Command4->click();
        QCOMPARE(readFile(f.appFile("DataRecordSet.txt")), formatted);
        const auto call = f.link->callsOf("GatherData").last();
        QCOMPARE(call.arg(7).toInt(), decimal ? 1 : 0);
        QCOMPARE(call.arg(8).toBool(), fullYear);
    }

    void collectionPassesTheWindowsValues()
    {
        WindowFixture f;
        auto &w = f.w();
        w.TxtAddress->setText("105");
        w.SleepDate->setText("7");
        f.link->script("GatherData", collected("", 0));
        w.Command4->click();
        const auto c = f.link->callsOf("GatherData").last();
        QCOMPARE(c.arg(1).toString(), QString("105"));
        QCOMPARE(c.arg(2).toString(), f.appFolder());
        QCOMPARE(c.arg(3).toString(), QString("DataRecordSet_original.txt"));
        QCOMPARE(c.arg(4).toString(), QString());
        QCOMPARE(c.arg(5).toInt(), 0);
        QCOMPARE(c.arg(6).toString(), QString("7"));
        QCOMPARE(w.statusText(), QString(" 采集到的记录数为：0  "));
        QCOMPARE(readFile(f.appFile("DataRecordSet.txt")), QByteArray());
        QVERIFY(!QApplication::overrideCursor());
    }

    void everyLineConvertedAndBlankLinesSkipped()
    {
        WindowFixture f;
        auto &w = f.w();
        f.link->script("GatherData",
                       collected("1050079A785070927093628FLAG\r\n\r\n1050079A786070927093629FLAG\n"
                                 "1050079A787070927093630FLAG",
                                 3, "完成"));
        w.Command4->click();
        QCOMPARE(w.statusText(), QString(" 采集到的记录数为：3  完成"));
        QCOMPARE(readFile(f.appFile("DataRecordSet.txt")),
                 QByteArray("1050079A785070927093628\r\n1050079A786070927093629\r\n1050079A787070927093630\r\n"));
    }

    void failedCollectionAfterAGoodOneEmptiesTheFormattedFile()
    {
        WindowFixture f;
        auto &w = f.w();
        f.link->script("GatherData", collected(Raw.toLatin1() + "\r\n", 1));
        w.Command4->click();
        QCOMPARE(readFile(f.appFile("DataRecordSet.txt")), QByteArray("1050079A785070927093628\r\n"));
        f.link->script("GatherData", false, {{4, QString("超时")}, {5, 9}});
        w.Command4->click();
        QCOMPARE(w.statusText(), QString("采集不成功  超时"));
        QCOMPARE(readFile(f.appFile("DataRecordSet.txt")), QByteArray());
        // The raw file of the good collection is the link's; the command leaves it alone.
        QCOMPARE(readFile(f.appFile("DataRecordSet_original.txt")), Raw.toLatin1() + "\r\n");
        // A null result is a failure too, with the message unchanged even when empty.
        f.link->script("GatherData", QVariant(), {{5, 4}});
        w.Command4->click();
        QCOMPARE(w.statusText(), QString("采集不成功  "));
    }

    // Command4 refuses every address it cannot use with the address message; the range collection
    // has its own error handler, which reports a text that is no number as a type mismatch.
    void addressRefusedBeforeAnything_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("rangeText");
        QTest::addColumn<QString>("rangeTitle");
        const QString refusal = QStringLiteral("请输入考勤机地址。");
        QTest::newRow("256") << "256" << refusal << "Zevo";
        QTest::newRow("-1") << "-1" << refusal << "Zevo";
        QTest::newRow("not a number") << "ab"
                                      << "13:类型不匹配"
                                      << "提示";
        QTest::newRow("empty") << ""
                               << "13:类型不匹配"
                               << "提示";
    }
    void addressRefusedBeforeAnything()
    {
        QFETCH(QString, address);
        QFETCH(QString, rangeText);
        QFETCH(QString, rangeTitle);
        WindowFixture f;
        auto &w = f.w();
        QFile previous(f.appFile("DataRecordSet.txt"));
        QVERIFY(previous.open(QIODevice::WriteOnly));
        previous.write("kept\r\n");
        previous.close();
        f.link->clearCalls();
        w.setStatusText("old");
        w.TxtAddress->setText(address);
        w.Command4->click();
        w.Command2->click();
        QCOMPARE(f.op.boxes.size(), 2);
        QCOMPARE(f.op.boxes[0].text, QString("请输入考勤机地址。"));
        QCOMPARE(f.op.boxes[0].icon, OperatorInterface::Icon::Question);
        QCOMPARE(f.op.boxes[0].title, QString("Zevo"));
        QCOMPARE(f.op.boxes[1].text, rangeText);
        QCOMPARE(f.op.boxes[1].title, rangeTitle);
        QVERIFY(f.link->calls.isEmpty());
        QCOMPARE(w.statusText(), QString("old"));
        QCOMPARE(readFile(f.appFile("DataRecordSet.txt")), QByteArray("kept\r\n"));
        QVERIFY(!QApplication::overrideCursor());
    }

    void addressZeroIsATerminal()
    {
        WindowFixture f;
        f.w().TxtAddress->setText("0");
        f.link->script("GatherData", collected("", 0));
        f.w().Command4->click();
        QCOMPARE(f.link->count("GatherData"), 1);
        QVERIFY(f.op.boxes.isEmpty());
    }

    void rangeCollectionPassesThePackets()
    {
        WindowFixture f;
        auto &w = f.w();
        w.txtBeginPack->setText("3");
        w.txtEndPack->setText("9");
        FakeDeviceLink::Answer a = collected(Raw.toLatin1() + "\r\n", 1, "ok");
        f.link->script("GatherData_All", a);
        w.Command2->click();
        const auto c = f.link->callsOf("GatherData_All").last();
        QCOMPARE(c.arg(9).toString(), QString("3"));
        QCOMPARE(c.arg(10).toString(), QString("9"));
        QCOMPARE(w.statusText(), QString(" 采集到的记录数为：1  ok"));
        QCOMPARE(readFile(f.appFile("DataRecordSet.txt")), QByteArray("1050079A785070927093628\r\n"));
    }

    void rangeCollectionOnAnOlderLinkGivesTheVersionMessage()
    {
        WindowFixture f;
        auto &w = f.w();
        f.link->olderComponent = true;
        w.Command2->click();
        QCOMPARE(f.op.boxes.size(), 1);
        QCOMPARE(f.op.boxes[0].text,
                 QString("当前动态库不支持此函数，请确保您当前注册的动态库版本为（V7.5.105）及以后版本"));
        QCOMPARE(f.op.boxes[0].icon, OperatorInterface::Icon::None);
        QCOMPARE(f.op.boxes[0].title, QString("提示"));
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(w.statusText(), QString("正在采集，如数据量大，可能要花较长的时间，请耐心等候!"));
        QVERIFY(w.StatusProgress->isHidden());
    }

    void raisedErrorsAreReported()
    {
        WindowFixture f;
        auto &w = f.w();
        f.link->scriptError("GatherData_All", 8005, "端口已打开");
        w.Command2->click();
        QCOMPARE(f.op.boxes.last().text, QString("8005:端口已打开"));
        QCOMPARE(f.op.boxes.last().title, QString("提示"));
        f.link->scriptError("GatherData", 8005, "端口已打开");
        w.Command4->click();
        QCOMPARE(f.op.boxes.last().text, QString("8005:端口已打开"));
        QCOMPARE(f.op.boxes.last().title, QString("Zevo"));
        QVERIFY(!QApplication::overrideCursor());
    }

    void unreadableRawFileIsReported()
    {
        WindowFixture f;
        FakeDeviceLink::Answer a;
        a.outs = {{5, 3}};  // true, three records, but no raw file written
        f.link->script("GatherData", a);
        f.w().Command4->click();
        QCOMPARE(f.op.boxes.size(), 1);
        QVERIFY(f.op.boxes[0].text.startsWith("53:文件未找到："));
        QVERIFY(!QApplication::overrideCursor());
    }

    void formattedFileThatCannotBeWrittenIsReported()
    {
        WindowFixture f;
        QVERIFY(QDir().mkpath(f.appFile("DataRecordSet.txt")));  // a folder where the file should go
        f.w().Command4->click();
        QCOMPARE(f.link->count("GatherData"), 0);
        QCOMPARE(f.op.boxes.size(), 1);
        QVERIFY(f.op.boxes[0].text.startsWith("75:路径/文件访问错误："));
        QVERIFY(!QApplication::overrideCursor());
    }

    void progressBarFollowsTheLinkDuringTheCall()
    {
        WindowFixture f;
        auto &w = f.w();
        QList<int> seen;
        FakeDeviceLink::Answer a = collected("", 0);
        FakeDeviceLink *link = f.link;
        a.effect = [&, link](const FakeDeviceLink::Call &) {
            seen << int(w.StatusProgress->isVisible() || !w.StatusProgress->isHidden());
            link->emitProgress(40, 200);
            seen << w.StatusProgress->value() << w.StatusProgress->maximum();
            QCOMPARE(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
        };
        f.link->script("GatherData", a);
        w.Command4->click();
        QCOMPARE(seen, (QList<int>{1, 40, 200}));
        QVERIFY(w.StatusProgress->isHidden());
        QVERIFY(!QApplication::overrideCursor());
    }
};

QTEST_MAIN(RecordsCollect)
#include "records_collect.moc"
