// The roster as a whole, on the scripted device link: both collections, browsing, the count and the
// clear, with their texts, arguments, pointer and refusals.
#include "support/WindowFixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

namespace {
const QString Waiting = QStringLiteral("正在采集，如数据量大，可能要花较长的时间，请耐心等候!");
const QString VersionMessage =
    QStringLiteral("当前动态库不支持此函数，请确保您当前注册的动态库版本为（V7.5.105）及以后版本");
const QString ClearQuestion = QStringLiteral("注意：确定要删除考勤机中所有的名单表与考勤记录吗？");

// The two collections differ only in their button, their operation and the two packet numbers.
struct Collection {
    QString op;
    QPushButton *FrmZevo::*button;
};
Collection collection(bool range)
{
    return range ? Collection{"GatherSendCardData_all", &FrmZevo::Cmd_GetNameList_All}
                 : Collection{"GatherSendCardData", &FrmZevo::Cmd_GetNameList};
}

bool busyPointer()
{
    return QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::BusyCursor;
}
}  // namespace

class RosterList : public QObject {
    Q_OBJECT
private slots:
    void collectionTexts_data()
    {
        QTest::addColumn<bool>("range");
        QTest::addColumn<QVariant>("result");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        for (bool range : {false, true}) {
            const char *which = range ? "range: " : "whole: ";
            QTest::addRow("%sempty message, none", which) << range << QVariant(true) << 0 << ""
                                                          << "  采集到的记录数为：0,";
            QTest::addRow("%s25 with message", which) << range << QVariant(1) << 25 << "完成"
                                                      << "  采集到的记录数为：25,完成";
            QTest::addRow("%sfalse, empty message", which) << range << QVariant(false) << 3 << ""
                                                           << "采集不成功,";
            QTest::addRow("%sfalse with message", which) << range << QVariant(0) << 0 << "超时"
                                                         << "采集不成功,超时";
            QTest::addRow("%snull result", which) << range << QVariant() << 7 << "x"
                                                  << "采集不成功,x";
        }
    }
    void collectionTexts()
    {
        QFETCH(bool, range);
        QFETCH(QVariant, result);
        QFETCH(int, count);
        QFETCH(QString, message);
        QFETCH(QString, shown);
        WindowFixture f;
        auto &w = f.w();
        const Collection c = collection(range);
        bool busyDuringCall = false;
        QString statusDuringCall;
        FakeDeviceLink::Answer a;
        a.result = result;
        a.outs = {{4, message}, {5, count}};
        a.effect = [&](const FakeDeviceLink::Call &) {
            busyDuringCall = busyPointer();
            statusDuringCall = w.statusText();
        };
        f.link->script(c.op, a);
        (w.*c.button)->click();
        QCOMPARE(w.statusText(), shown);
        QVERIFY(busyDuringCall);
        QCOMPARE(statusDuringCall, Waiting);
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(f.op.boxes.size(), 0);
    }

    void collectionArguments_data()
    {
        QTest::addColumn<bool>("range");
        QTest::newRow("whole") << false;
        QTest::newRow("range") << true;
    }
    void collectionArguments()
    {
        QFETCH(bool, range);
        WindowFixture f;
        auto &w = f.w();
        w.TxtAddress->setText(" 7");
        w.SleepDate->setText("5");
        w.txtBeginPack->setText("3");
        w.txtEndPack->setText("9");
        for (bool decimal : {true, false}) {
            w.IsCheck->setChecked(decimal);
            (w.*collection(range).button)->click();
            const auto call = f.link->callsOf(collection(range).op).last();
            QCOMPARE(call.args.size(), range ? 9 : 7);
            QCOMPARE(call.arg(1).toString(), QString(" 7"));  // the text itself, blank included
            QCOMPARE(call.arg(2).toString(), f.appFolder());
            QCOMPARE(call.arg(3).toString(), QString("NameList.txt"));
            QCOMPARE(call.arg(4).toString(), QString());
            QCOMPARE(call.arg(5).toInt(), 0);
            QCOMPARE(call.arg(6).toString(), QString("5"));
            QCOMPARE(call.arg(7).toInt(), decimal ? 1 : 0);
            if (range) {
                QCOMPARE(call.arg(8).toString(), QString("3"));
                QCOMPARE(call.arg(9).toString(), QString("9"));
            }
        }
        QCOMPARE(f.link->count(collection(!range).op), 0);
    }

    void rangeCollectionErrors_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("box");
        QTest::newRow("older component") << 450 << "参数个数错误" << VersionMessage;
        QTest::newRow("other error") << 5 << "无效的过程调用"
                                     << "5:无效的过程调用";
        QTest::newRow("missing operation") << 438 << "对象不支持该属性或方法"
                                           << "438:对象不支持该属性或方法";
    }
    void rangeCollectionErrors()
    {
        QFETCH(int, number);
        QFETCH(QString, description);
        QFETCH(QString, box);
        WindowFixture f;
        auto &w = f.w();
        w.setStatusText("old");
        f.link->scriptError("GatherSendCardData_all", number, description);
        w.Cmd_GetNameList_All->click();
        QCOMPARE(f.op.boxes.size(), 1);
        QCOMPARE(f.op.boxes[0].text, box);
        QCOMPARE(f.op.boxes[0].title, QString("提示"));
        QCOMPARE(f.op.boxes[0].icon, OperatorInterface::Icon::None);
        QCOMPARE(f.op.boxes[0].buttons, OperatorInterface::Buttons::Ok);
        QCOMPARE(w.statusText(), Waiting);
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY(w.StatusProgress->isHidden());
    }

    void olderComponentRejectsTheRangeCollection()
    {
        WindowFixture f;
        f.link->olderComponent = true;
        f.w().Cmd_GetNameList_All->click();
        QCOMPARE(f.op.boxes.size(), 1);
        QCOMPARE(f.op.boxes[0].text, VersionMessage);
        QVERIFY(!QApplication::overrideCursor());
    }

    void plainCollectionErrorIsReportedAndThePointerRestored()
    {
        WindowFixture f;
        f.link->scriptError("GatherSendCardData", 450, "参数个数错误");
        f.w().Cmd_GetNameList->click();
        QCOMPARE(f.op.boxes.size(), 1);
        QCOMPARE(f.op.boxes[0].text, QString("450:参数个数错误"));
        QCOMPARE(f.op.boxes[0].title, QString("Zevo"));
        QVERIFY(!QApplication::overrideCursor());
    }

    void collectionShowsProgressWhileItRuns()
    {
        WindowFixture f;
        auto &w = f.w();
        int value = -1, maximum = -1;
        bool shown = false;
        FakeDeviceLink::Answer a;
        a.outs = {{5, 10}};
        a.effect = [&](const FakeDeviceLink::Call &) {
            f.link->emitProgress(4, 10);
            shown = !w.StatusProgress->isHidden();
            value = w.StatusProgress->value();
            maximum = w.StatusProgress->maximum();
        };
        f.link->script("GatherSendCardData", a);
        w.Cmd_GetNameList->click();
        QVERIFY(shown);
        QCOMPARE(value, 4);
        QCOMPARE(maximum, 10);
        QVERIFY(w.StatusProgress->isHidden());
        // The link is unhooked afterwards: late reports reach nothing.
        f.link->emitProgress(9, 10);
        QCOMPARE(w.StatusProgress->value(), 4);
    }

    void browse()
    {
        WindowFixture f;
        auto &w = f.w();
        w.setStatusText("old");
        w.Command3->click();
        QCOMPARE(w.statusText(), QString("没有采集数据可浏览，请先采集。"));
        QVERIFY(f.op.viewed.isEmpty());

        // A folder of that name is not a collected file.
        QVERIFY(QDir().mkpath(f.appFile("NameList.txt")));
        w.setStatusText("old");
        w.Command3->click();
        QCOMPARE(w.statusText(), QString("没有采集数据可浏览，请先采集。"));
        QVERIFY(f.op.viewed.isEmpty());
        QVERIFY(QDir(f.appFile("NameList.txt")).removeRecursively());

        QFile file(f.appFile("NameList.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        w.setStatusText("old");
        w.Command3->click();
        QCOMPARE(f.op.viewed, QList<QString>{f.appFile("NameList.txt")});
        QCOMPARE(w.statusText(), QString("old"));
        QCOMPARE(f.op.boxes.size(), 0);

        f.op.viewerWorks = false;
        w.Command3->click();
        QCOMPARE(f.op.boxes.size(), 1);
        QVERIFY(f.op.boxes[0].text.contains(f.appFile("NameList.txt")));
    }

    void countLabel()
    {
        WindowFixture f;
        auto &w = f.w();
        w.TxtAddress->setText(" 7");
        QCOMPARE(w.Label7->text(), QString("000"));
        f.link->script("GatherSendCardSum", false, {{2, 12}});
        w.Command6->click();
        QCOMPARE(w.statusText(), QString("采集失败"));
        QCOMPARE(w.Label7->text(), QString("000"));

        f.link->script("GatherSendCardSum", true, {{2, 25}});
        w.Command6->click();
        QCOMPARE(w.statusText(), QString("采集成功"));
        QCOMPARE(w.Label7->text(), QString("25 条"));
        const auto call = f.link->callsOf("GatherSendCardSum").last();
        QCOMPARE(call.arg(1).toString(), QString(" 7"));
        QCOMPARE(call.arg(2).toInt(), 0);

        // A later failure, a null result or an error leaves the last count read.
        f.link->script("GatherSendCardSum", QVariant(), {{2, 99}});
        w.Command6->click();
        QCOMPARE(w.statusText(), QString("采集失败"));
        f.link->scriptError("GatherSendCardSum", 5, "x");
        w.Command6->click();
        QCOMPARE(w.Label7->text(), QString("25 条"));
        QCOMPARE(f.op.boxes.size(), 1);
        QCOMPARE(f.op.boxes[0].text, QString("5:x"));
        QVERIFY(!QApplication::overrideCursor());
    }

    void clearAddress_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("passed");  // -1: refused, no confirmation and no call
        QTest::newRow("255") << "255" << 255;
        QTest::newRow("0") << "0" << 0;
        QTest::newRow("blank then 7") << " 7" << 7;
        QTest::newRow("256") << "256" << -1;
        QTest::newRow("-1") << "-1" << -1;
        QTest::newRow("empty") << "" << -1;
        QTest::newRow("not a number") << "1x" << -1;
    }
    void clearAddress()
    {
        QFETCH(QString, address);
        QFETCH(int, passed);
        WindowFixture f;
        auto &w = f.w();
        w.TxtAddress->setText(address);
        w.setStatusText("old");
        w.Command10->click();
        QCOMPARE(f.op.boxes.size(), 1);
        if (passed < 0) {
            QCOMPARE(f.op.boxes[0].text, QString("请输入考勤机地址。"));
            QCOMPARE(f.op.boxes[0].icon, OperatorInterface::Icon::Question);
            QCOMPARE(f.link->count("ClearNameList"), 0);
            QCOMPARE(w.statusText(), QString("old"));
            return;
        }
        QCOMPARE(f.op.boxes[0].text, ClearQuestion);
        QCOMPARE(f.op.boxes[0].icon, OperatorInterface::Icon::Critical);
        QCOMPARE(f.op.boxes[0].buttons, OperatorInterface::Buttons::YesNo);
        QCOMPARE(f.op.boxes[0].title, QString("Zevo"));
        QCOMPARE(f.link->count("ClearNameList"), 1);
        QCOMPARE(f.link->callsOf("ClearNameList").last().arg(1).toInt(), passed);
        QCOMPARE(w.statusText(), QString("删除名单表成功"));
    }

    void clearAnswers()
    {
        WindowFixture f;
        auto &w = f.w();
        w.setStatusText("old");
        f.op.answers.enqueue(OperatorInterface::Answer::No);
        w.Command10->click();
        QCOMPARE(f.link->count("ClearNameList"), 0);
        QCOMPARE(w.statusText(), QString("old"));

        f.link->script("ClearNameList", false);
        w.Command10->click();
        QCOMPARE(w.statusText(), QString("删除名单表不成功"));
        f.link->script("ClearNameList", QVariant());
        w.Command10->click();
        QCOMPARE(w.statusText(), QString("删除名单表不成功"));
        f.link->scriptError("ClearNameList", 5, "x");
        w.Command10->click();
        QCOMPARE(f.op.boxes.last().text, QString("5:x"));
    }
};

QTEST_MAIN(RosterList)
#include "roster_list.moc"
