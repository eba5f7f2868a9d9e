#include "common/TextCodec.h"
#include "support/WindowFixture.h"
#include "ui/RecordLineList.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

QString writeFile(const WindowFixture &f, const QString &name, const QByteArray &content)
{
    const QString path = f.dir.path() + QLatin1Char('/') + name;
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) file.write(content);
    return path;
}

QStringList items(const RecordLineList *list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i) out << list->text(i);
    return out;
}

QList<bool> marks(const RecordLineList *list)
{
    QList<bool> out;
    for (int i = 0; i < list->count(); ++i) out << list->isSelected(i);
    return out;
}

const QByteArray FiveLines = "1050079A785070927093628\r\n1050079A786070927093629\r\n1050079A787070927093630\r\n"
                             "1050079A788070927093631\r\n1050079A789070927093632\r\n";

}  // namespace

// The data check and the send-records panel.
class RecordsPanel : public QObject {
    Q_OBJECT
private slots:
    void checkVerdicts_data()
    {
        QTest::addColumn<QVariant>("verdict");
        QTest::addColumn<QString>("status");  // empty: a message box with the message instead
        QTest::newRow("0") << QVariant(0) << "数据合法！";
        QTest::newRow("1") << QVariant(1) << "数据非法，第3行卡号错误";
        QTest::newRow("3") << QVariant(3) << "数据非法，第3行卡号错误";
        QTest::newRow("4 as text") << QVariant("4") << "数据非法，第3行卡号错误";
        QTest::newRow("5") << QVariant(5) << "";
        QTest::newRow("-1") << QVariant(-1) << "";
    }
    void checkVerdicts()
    {
        QFETCH(QVariant, verdict);
        QFETCH(QString, status);
        WindowFixture f;
        auto &w = f.w();
        w.TxtAddress->setText("105");
        w.IsCheck->setChecked(true);
        w.YearCheck->setChecked(true);
        w.setStatusText("old");
        Qt::CursorShape during = Qt::ArrowCursor;
        FakeDeviceLink::Answer a;
        a.result = verdict;
        a.outs = {{4, QString("第3行卡号错误")}};
        a.effect = [&](const FakeDeviceLink::Call &) { during = QApplication::overrideCursor()->shape(); };
        f.link->script("CheckData", a);
        w.cmdCheckData->click();
        const auto c = f.link->callsOf("CheckData").last();
        const QVariantList expected{
            "105", f.appFolder(), "DataRecordSet_original.txt", "", 3, 1, true, "2008/3/7 10:10", 20};
        for (int i = 0; i < expected.size(); ++i) QCOMPARE(c.args[i].toString(), expected[i].toString());
        QCOMPARE(during, Qt::BusyCursor);
        QVERIFY(!QApplication::overrideCursor());
        if (status.isEmpty()) {
            QCOMPARE(w.statusText(), QString("old"));
            QCOMPARE(f.op.boxes.size(), 1);
            QCOMPARE(f.op.boxes[0].text, QString("第3行卡号错误"));
            QCOMPARE(f.op.boxes[0].icon, OperatorInterface::Icon::None);
            QCOMPARE(f.op.boxes[0].title, QString("Zevo"));
        } else {
            QCOMPARE(w.statusText(), status);
            QVERIFY(f.op.boxes.isEmpty());
        }
    }

    void checkRefusalsAndErrors()
    {
        WindowFixture f;
        auto &w = f.w();
        f.link->clearCalls();
        w.TxtAddress->setText("256");
        w.cmdCheckData->click();
        QCOMPARE(f.op.boxes.last().text, QString("请输入考勤机地址。"));
        w.TxtAddress->setText("");
        w.cmdCheckData->click();
        QCOMPARE(f.op.boxes.last().text, QString("请输入考勤机地址。"));
        QVERIFY(f.link->calls.isEmpty());
        // A verdict that is no number, and an error from the link, are reported with the pointer restored.
        w.TxtAddress->setText("1");
        f.link->script("CheckData", QVariant());
        w.cmdCheckData->click();
        QCOMPARE(f.op.boxes.last().text, QString("13:类型不匹配"));
        f.link->scriptError("CheckData", 8002, "通讯超时");
        w.cmdCheckData->click();
        QCOMPARE(f.op.boxes.last().text, QString("8002:通讯超时"));
        QVERIFY(!QApplication::overrideCursor());
    }

    void panelOpensAtTheLeftWithTheAddressAndKeepsItsContents()
    {
        WindowFixture f;
        auto &w = f.w();
        w.show();
        QVERIFY(w.Picture1->isHidden());
        w.TxtAddress->setText("42");
        w.Command17->click();
        QVERIFY(w.Picture1->isVisible());
        QCOMPARE(w.Picture1->x(), 0);
        QCOMPARE(w.Text4->text(), QString("42"));
        w.Text1->setText("0079A785070927093628");
        w.List1->addItem("line");
        w.DataCount->setText("1");
        w.Command20->click();
        QVERIFY(w.Picture1->isHidden());
        w.Command17->click();
        QCOMPARE(w.Text1->text(), QString("0079A785070927093628"));
        QCOMPARE(w.List1->count(), 1);
        QCOMPARE(w.DataCount->text(), QString("1"));
    }

    void singleRecord()
    {
        WindowFixture f;
        auto &w = f.w();
        w.Text4->setText("7");
        w.Text1->setText("0079A785070927093628");
        w.Command21->click();
        const auto c = f.link->callsOf("SendRecordToMachine").last();
        QCOMPARE(c.args, (QVariantList{"7", "0079A785", "070927093628", "FF", "99"}));
        QCOMPARE(w.statusText(), QString("发送成功"));
        f.link->script("SendRecordToMachine", 0);
        w.Command21->click();
        QCOMPARE(w.statusText(), QString("发送失败"));
        f.link->scriptError("SendRecordToMachine", 8002, "通讯超时");
        w.Command21->click();
        QCOMPARE(f.op.boxes.last().text, QString("8002:通讯超时"));
    }

    void singleRecordOfTheWrongLength_data()
    {
        QTest::addColumn<QString>("record");
        QTest::newRow("19") << "0079A78507092709362";
        QTest::newRow("empty") << "";
        QTest::newRow("one") << "0";
    }
    void singleRecordOfTheWrongLength()
    {
        QFETCH(QString, record);
        WindowFixture f;
        auto &w = f.w();
        w.Text1->setText(record);
        w.setStatusText("old");
        w.Command21->click();
        QCOMPARE(f.link->count("SendRecordToMachine"), 0);
        QCOMPARE(f.op.boxes.size(), 1);
        QCOMPARE(f.op.boxes[0].text, QString("输入数据格式不正确，请对照上面的说明重新输入！"));
        QCOMPARE(f.op.boxes[0].icon, OperatorInterface::Icon::None);
        QCOMPARE(f.op.boxes[0].title, QString("温馨提示"));
        QCOMPARE(w.statusText(), QString("old"));
    }

    void loadMarksEveryLine()
    {
        WindowFixture f;
        auto &w = f.w();
        f.op.files.enqueue(writeFile(f, "five.txt", FiveLines));
        w.Command18->click();
        QCOMPARE(f.op.fileDialogs, QList<QString>{"Dlg_Open|Text (*.txt)|*.txt"});
        QCOMPARE(w.List1->count(), 5);
        QCOMPARE(marks(w.List1), QList<bool>(5, true));
        QCOMPARE(w.DataCount->text(), QString("5"));
        QCOMPARE(w.List1->text(4), QString("1050079A789070927093632"));
    }

    void loadSkipsBlankLines_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("loaded");
        QTest::newRow("blank in the middle") << QByteArray("1050079A785070927093628\r\n\r\n1050079A786070927093629\n")
                                             << QStringList{"1050079A785070927093628", "1050079A786070927093629"};
        QTest::newRow("first line blank")
            << QByteArray("\r\n1050079A785070927093628") << QStringList{"1050079A785070927093628"};
        QTest::newRow("blanks only") << QByteArray("  \r\n\r\n") << QStringList{};
        QTest::newRow("kept unchanged") << QByteArray("  105 0079A785\r\n") << QStringList{"  105 0079A785"};
        QTest::newRow("GB18030") << TextCodec::encode("105号\r\n") << QStringList{"105号"};
    }
    void loadSkipsBlankLines()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, loaded);
        WindowFixture f;
        auto &w = f.w();
        w.List1->addItem("earlier");
        w.DataCount->setText("1");
        f.op.files.enqueue(writeFile(f, "some file.txt", content));
        w.Command18->click();
        QCOMPARE(items(w.List1), loaded);
        QCOMPARE(w.DataCount->text(), QString::number(loaded.size()));
        QCOMPARE(marks(w.List1), QList<bool>(loaded.size(), true));
    }

    void loadCancelledOrUnreadableKeepsTheList()
    {
        WindowFixture f;
        auto &w = f.w();
        w.Command18->click();  // cancelled on first use
        QCOMPARE(w.List1->count(), 0);
        QCOMPARE(w.DataCount->text(), QString());
        QVERIFY(f.op.boxes.isEmpty());

        f.op.files.enqueue(writeFile(f, "five.txt", FiveLines));
        w.Command18->click();
        f.op.files.enqueue(QString("ab"));  // two characters: no file chosen
        w.Command18->click();
        QVERIFY(f.op.boxes.isEmpty());
        f.op.files.enqueue(f.dir.path() + "/missing.txt");
        w.Command18->click();
        QCOMPARE(f.op.boxes.size(), 1);
        QVERIFY(f.op.boxes[0].text.startsWith("53:"));
        QCOMPARE(w.List1->count(), 5);
        QCOMPARE(w.DataCount->text(), QString("5"));
    }

    void markAllAndUnmarkAll()
    {
        WindowFixture f;
        auto &w = f.w();
        w.show();
        f.op.files.enqueue(writeFile(f, "five.txt", FiveLines));
        w.Command18->click();
        QTest::mouseClick(w.Label13, Qt::LeftButton);
        QCOMPARE(marks(w.List1), QList<bool>(5, false));
        w.List1->setSelected(2, true);
        QTest::mouseClick(w.Label9, Qt::LeftButton);
        QCOMPARE(marks(w.List1), QList<bool>(5, true));
        QCOMPARE(w.List1->count(), 5);
    }

    void multiSendWhereTheSecondOfThreeFails()
    {
        WindowFixture f;
        auto &w = f.w();
        f.op.files.enqueue(writeFile(f, "three.txt",
                                     "1050079A785070927093628\r\n  1050079A786070927093629  \r\n"
                                     "1050079A787070927093630\r\n"));
        w.Command18->click();
        w.Text4->setText("9");
        f.link->script("SendRecordToMachine", true);
        f.link->script("SendRecordToMachine", false);
        f.link->script("SendRecordToMachine", true);
        w.Command19->click();
        const auto sent = f.link->callsOf("SendRecordToMachine");
        QCOMPARE(sent.size(), 3);
        QCOMPARE(sent[0].args, (QVariantList{"9", "0079A785", "070927093628", "1", "2"}));
        QCOMPARE(sent[1].args, (QVariantList{"9", "0079A786", "070927093629", "1", "2"}));
        QCOMPARE(sent[2].args, (QVariantList{"9", "0079A787", "070927093630", "1", "2"}));
        QCOMPARE(f.op.pauses, (QList<int>{5, 5, 5}));
        QCOMPARE(w.statusText(), QString("第：2条发送成功"));
        QCOMPARE(marks(w.List1), (QList<bool>{false, true, false}));

        // The second click sends only what failed.
        f.link->clearCalls();
        w.Command19->click();
        QCOMPARE(f.link->count("SendRecordToMachine"), 1);
        QCOMPARE(f.link->callsOf("SendRecordToMachine")[0].arg(2).toString(), QString("0079A786"));
        QCOMPARE(w.statusText(), QString("第：1条发送成功"));
        QCOMPARE(marks(w.List1), QList<bool>(3, false));

        // Nothing marked: nothing at all.
        f.link->clearCalls();
        w.setStatusText("old");
        w.Command19->click();
        QVERIFY(f.link->calls.isEmpty());
        QCOMPARE(w.statusText(), QString("old"));
    }

    void multiSendOfShortLinesAndAFailureReport()
    {
        WindowFixture f;
        auto &w = f.w();
        f.op.files.enqueue(writeFile(f, "short.txt", "1050079A7\r\nx\r\n1050079A785070927093628\r\n"));
        w.Command18->click();
        f.link->script("SendRecordToMachine", false);
        w.Command19->click();
        auto sent = f.link->callsOf("SendRecordToMachine");
        QCOMPARE(sent[0].arg(2).toString(), QString("0079A7"));
        QCOMPARE(sent[0].arg(3).toString(), QString());
        QCOMPARE(sent[1].arg(2).toString(), QString());
        QCOMPARE(w.statusText(), QString("第：2条发送成功"));
        QCOMPARE(marks(w.List1), (QList<bool>{true, false, false}));

        // An error stops the run: the item that raised it and those after it stay marked.
        w.List1->selectAll();
        f.link->clearCalls();
        f.link->script("SendRecordToMachine", true);
        f.link->scriptError("SendRecordToMachine", 8002, "通讯超时");
        w.Command19->click();
        QCOMPARE(f.link->count("SendRecordToMachine"), 2);
        QCOMPARE(f.op.boxes.last().text, QString("8002:通讯超时"));
        QCOMPARE(w.statusText(), QString("第：0条发送成功"));
        QCOMPARE(marks(w.List1), (QList<bool>{false, true, true}));
    }
};

QTEST_MAIN(RecordsPanel)
#include "records_panel.moc"
