#include "common/OleDate.h"
#include "support/WindowFixture.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>

namespace {
const QString HourRange = QStringLiteral("请输入‘０ → ２３  之间的数字！");
const QString MinuteRange = QStringLiteral("请输入０ → ５９之间的数字！");
const QString NotANumber = QStringLiteral("请输入数字！");
}  // namespace

class ConfigClock : public QObject {
    Q_OBJECT
private slots:
    void dateAndTimeComeFromTheOperatorClock()
    {
        WindowFixture f;
        f.link->clearCalls();
        f.w().TxtAddress->setText(" 18");
        f.w().setStatusText("old");
        f.w().Command12->click();
        QCOMPARE(f.link->count("ModifyDateTime"), 1);
        const auto call = f.link->callsOf("ModifyDateTime").first();
        QCOMPARE(call.arg(1).toInt(), 18);
        QCOMPARE(call.arg(2).toString(), QString("090305"));
        QCOMPARE(call.arg(3).toString(), QString("080706"));
        QCOMPARE(call.arg(4).toString(), QString("01"));
        QCOMPARE(f.w().statusText(), QString("修改日期成功"));

        f.op.clock = QDateTime(QDate(2010, 12, 31), QTime(23, 59, 58));
        f.link->script("ModifyDateTime", false);
        f.w().Command12->click();
        const auto late = f.link->callsOf("ModifyDateTime").last();
        QCOMPARE(late.arg(2).toString(), QString("101231"));
        QCOMPARE(late.arg(3).toString(), QString("235958"));
        QCOMPARE(f.w().statusText(), QString("修改日期不成功"));
    }

    void dateAndTimeRefuseABadAddress_data()
    {
        QTest::addColumn<QString>("address");
        QTest::newRow("256") << "256";
        QTest::newRow("-1") << "-1";
        QTest::newRow("not a number") << "a1";
        QTest::newRow("empty") << "";
    }
    void dateAndTimeRefuseABadAddress()
    {
        QFETCH(QString, address);
        WindowFixture f;
        f.link->clearCalls();
        f.w().TxtAddress->setText(address);
        f.w().setStatusText("kept");
        f.w().Command12->click();
        QCOMPARE(f.link->count("ModifyDateTime"), 0);
        QCOMPARE(f.op.boxes.size(), 1);
        QCOMPARE(f.op.boxes[0].text, QString("请输入考勤机地址。"));
        QCOMPARE(f.op.boxes[0].icon, OperatorInterface::Icon::Question);
        QCOMPARE(f.op.boxes[0].title, QString("Zevo"));
        QCOMPARE(f.w().statusText(), QString("kept"));
    }

    void alarmTableHoldsTheGridAndAZeroSlot10()
    {
        WindowFixture f;
        f.link->clearCalls();
        auto &w = f.w();
        w.TxtAddress->setText("256");  // no range check for the schedule
        w.TxtHour[0]->setText("7");
        w.TxtMin[0]->setText("30");
        w.TxtHour[9]->setText("23");
        w.TxtMin[9]->setText("59");
        w.TxtHour[4]->setText("");
        w.TxtMin[4]->setText("");
        w.Text7->setText("3");
        w.CmdSetClock->click();
        QCOMPARE(f.link->count("SetClock"), 1);
        const auto call = f.link->callsOf("SetClock").first();
        QCOMPARE(call.arg(1).toInt(), 256);
        const QVariantList table = call.arg(2).toList();
        QCOMPARE(table.size(), 11);
        QCOMPARE(OleDate::toTimeOfDay(table[0].toDouble()), QTime(7, 30));
        QCOMPARE(OleDate::toTimeOfDay(table[9].toDouble()), QTime(23, 59));
        QCOMPARE(table[4].toDouble(), 0.0);
        QCOMPARE(table[10].toDouble(), 0.0);
        for (const QVariant &slot : table) QVERIFY(slot.toDouble() >= 0.0 && slot.toDouble() < 1.0);
        QCOMPARE(call.arg(3).toString(), QString("3"));
        QCOMPARE(w.statusText(), QString("成功"));

        f.link->script("SetClock", QVariant());  // null counts as false
        w.CmdSetClock->click();
        QCOMPARE(w.statusText(), QString("不成功"));
    }

    void alarmScheduleRefusesWhatTheGridWouldRefuse()
    {
        WindowFixture f;
        f.link->clearCalls();
        auto &w = f.w();
        w.TxtMin[3]->setText("1.");
        w.CmdSetClock->click();
        QCOMPARE(f.link->count("SetClock"), 0);
        QCOMPARE(f.op.boxes.size(), 1);
        QCOMPARE(f.op.boxes[0].text, NotANumber);

        w.TxtMin[3]->setText("0");
        w.TxtAddress->setText("x");
        w.CmdSetClock->click();
        QCOMPARE(f.link->count("SetClock"), 0);
        QCOMPARE(f.op.boxes.last().text, QString("请输入考勤机地址。"));
    }

    void gridValidators_data()
    {
        QTest::addColumn<bool>("hour");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");  // empty: accepted
        QTest::newRow("hour 23") << true << "23" << QString();
        QTest::newRow("hour empty") << true << "" << QString();
        QTest::newRow("hour 24") << true << "24" << HourRange;
        QTest::newRow("hour -1") << true << "-1" << HourRange;
        QTest::newRow("hour ab") << true << "ab" << NotANumber;
        QTest::newRow("hour .5") << true << ".5" << NotANumber;
        QTest::newRow("minute 59") << false << "59" << QString();
        QTest::newRow("minute 60") << false << "60" << MinuteRange;
        QTest::newRow("minute -1") << false << "-1" << MinuteRange;
        QTest::newRow("minute ab") << false << "ab" << NotANumber;
        QTest::newRow("minute 1.") << false << "1." << NotANumber;
    }
    // The focus guard of the window runs the validator when a click would move the focus away.
    void gridValidators()
    {
        QFETCH(bool, hour);
        QFETCH(QString, text);
        QFETCH(QString, message);
        WindowFixture f;
        auto &w = f.w();
        w.show();
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        f.link->clearCalls();
        ValidatedEdit *box = hour ? w.TxtHour[2] : w.TxtMin[2];
        box->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), box);
        box->setText(text);
        QTest::mouseClick(w.CmdSetClock, Qt::LeftButton);
        if (message.isEmpty()) {
            QVERIFY(f.op.boxes.isEmpty());
            QCOMPARE(f.link->count("SetClock"), 1);
        } else {
            QCOMPARE(f.op.boxes.size(), 1);
            QCOMPARE(f.op.boxes[0].text, message);
            QCOMPARE(f.op.boxes[0].icon, OperatorInterface::Icon::Question);
            QCOMPARE(f.op.boxes[0].title, QString("Zevo"));
            QCOMPARE(QApplication::focusWidget(), box);
            QCOMPARE(box->text(), text);  // the validator never changes the text
            QCOMPARE(f.link->count("SetClock"), 0);
        }
    }
};

QTEST_MAIN(ConfigClock)
#include "config_clock.moc"
