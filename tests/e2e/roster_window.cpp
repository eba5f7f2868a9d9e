// The card and roster buttons of the window against attsim over TCP, through our device link: a card
// held to the terminal is read, issued with a Chinese name, found, collected into NameList.txt,
// withdrawn and found absent.
#include "common/TextCodec.h"
#include "support/SimConsole.h"
#include "support/SimProcess.h"

#include <QCheckBox>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {
constexpr int Address = 18;
const QString Card = QStringLiteral("0079A785");       // as the terminal holds it
const QString Decimal = QStringLiteral("0007972741");  // the same card in the window's form
const QString Name = QStringLiteral("张三丰");

QStringList rosterLines(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return TextCodec::splitLines(TextCodec::decode(f.readAll()));
}

QJsonArray roster(SimProcess &sim) { return sim.terminal(Address).value(QStringLiteral("roster")).toArray(); }
}  // namespace

class RosterWindow : public QObject {
    Q_OBJECT
private slots:
    void cardLifeCycle()
    {
        SimProcess sim({"--terminal", QString::number(Address)});
        QVERIFY2(sim.start(), qPrintable(sim.errorText()));
        SimConsole c(sim);
        auto &w = c.w();
        QVERIFY(c.useTcp());
        w.TxtAddress->setText(QString::number(Address));

        sim.send("present " + Card);
        QVERIFY(!sim.dump().isEmpty());  // the simulator has taken the card by the time it answers
        w.Command7->click();
        QCOMPARE(w.statusText(), "物理卡号:" + Decimal);
        QCOMPARE(w.TxtCardNum->text(), Decimal);
        QCOMPARE(w.lblPhyCard_Hex->text(), QString("79A785"));

        w.TxtNo->setText("123");
        w.TxtNewAddr->setText(Name);
        w.Command14->click();
        QCOMPARE(w.statusText(), QString("卡号:00000123发送成功!"));
        QCOMPARE(roster(sim).size(), 1);
        const QJsonObject entry = roster(sim).first().toObject();
        QCOMPARE(entry.value("card").toString(), Card);
        QCOMPARE(entry.value("jobNo").toString(), QString("00000123"));
        QCOMPARE(entry.value("name").toString(), Name);

        w.Command22->click();
        QCOMPARE(w.statusText(), "卡号:" + Decimal + "存在");

        w.Command6->click();
        QCOMPARE(w.statusText(), QString("采集成功"));
        QCOMPARE(w.Label7->text(), QString("1 条"));

        // Decimal card numbers when IsCheck is ticked, hexadecimal otherwise; the name as issued.
        w.IsCheck->setChecked(true);
        w.Cmd_GetNameList->click();
        QVERIFY2(w.statusText().startsWith("  采集到的记录数为：1,"), qPrintable(w.statusText()));
        QStringList lines = rosterLines(c.appFile("NameList.txt"));
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines[0].contains(Decimal) && lines[0].contains(Name) && lines[0].contains("00000123"),
                 qPrintable(lines[0]));
        w.IsCheck->setChecked(false);
        w.txtBeginPack->setText("1");
        w.txtEndPack->setText("2");
        w.Cmd_GetNameList_All->click();
        QVERIFY2(w.statusText().startsWith("  采集到的记录数为：1,"), qPrintable(w.statusText()));
        lines = rosterLines(c.appFile("NameList.txt"));
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines[0].contains(Card) && lines[0].contains(Name), qPrintable(lines[0]));

        w.Command3->click();
        QCOMPARE(c.op.viewed, QList<QString>{c.appFile("NameList.txt")});

        w.Command15->click();
        QCOMPARE(w.statusText(), QString("卡号:00000123清除成功"));
        QCOMPARE(roster(sim).size(), 0);
        w.Command22->click();
        QCOMPARE(w.statusText(), "卡号:" + Decimal + "不存在");
        QCOMPARE(c.op.boxes.size(), 0);
    }

    void nameThatDoesNotFitNeverReachesTheTerminal()
    {
        SimProcess sim({"--terminal", QString::number(Address)});
        QVERIFY2(sim.start(), qPrintable(sim.errorText()));
        SimConsole c(sim);
        auto &w = c.w();
        QVERIFY(c.useTcp());
        w.TxtAddress->setText(QString::number(Address));
        w.TxtCardNum->setText(Decimal);
        w.TxtNo->setText("7");
        w.TxtNewAddr->setText(QStringLiteral("一二三四五六七八九"));  // 18 bytes
        w.Command14->click();
        QCOMPARE(c.op.boxes.size(), 1);
        QCOMPARE(roster(sim).size(), 0);
        // Eight characters fill the field exactly and arrive whole.
        w.TxtNewAddr->setText(QStringLiteral("一二三四五六七八"));
        w.Command14->click();
        QCOMPARE(w.statusText(), QString("卡号:00000007发送成功!"));
        QCOMPARE(roster(sim).first().toObject().value("name").toString(), QStringLiteral("一二三四五六七八"));
    }

    void readWithoutCardAndClearingTheRoster()
    {
        SimProcess sim({"--terminal", QString::number(Address), "--roster", "40"});
        QVERIFY2(sim.start(), qPrintable(sim.errorText()));
        SimConsole c(sim);
        auto &w = c.w();
        QVERIFY(c.useTcp());
        w.TxtAddress->setText(QString::number(Address));

        // Nothing held to the terminal: the read fails and no card number is left to issue.
        w.Command7->click();
        QCOMPARE(w.statusText(), QString("读取物理卡号不成功"));
        QCOMPARE(w.TxtCardNum->text(), QString());

        w.Command6->click();
        QCOMPARE(w.Label7->text(), QString("40 条"));
        w.Cmd_GetNameList->click();
        QVERIFY2(w.statusText().startsWith("  采集到的记录数为：40,"), qPrintable(w.statusText()));
        QCOMPARE(rosterLines(c.appFile("NameList.txt")).size(), 40);

        c.op.answers.enqueue(OperatorInterface::Answer::No);
        w.Command10->click();
        QCOMPARE(roster(sim).size(), 40);
        w.Command10->click();
        QCOMPARE(w.statusText(), QString("删除名单表成功"));
        QCOMPARE(roster(sim).size(), 0);
        w.Command6->click();
        QCOMPARE(w.Label7->text(), QString("0 条"));
    }
};

QTEST_MAIN(RosterWindow)
#include "roster_window.moc"
