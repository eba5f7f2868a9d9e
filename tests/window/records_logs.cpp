#include "support/WindowFixture.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

// The clear log (cmdReadClearLog) and the time-change log (Command25).
class RecordsLogs : public QObject {
    Q_OBJECT

    static QPushButton *button(FrmZevo &w, const QString &op)
    {
        return op == "ReadClearLog" ? w.cmdReadClearLog : w.Command25;
    }

private slots:
    void shownLog_data()
    {
        QTest::addColumn<QString>("op");
        QTest::addColumn<QString>("log");
        QTest::addColumn<QString>("text");
        const QString clear = QStringLiteral("读取清除日志成功。\n\n");
        const QString time = QStringLiteral("读取修改时间日志成功。\n\n");
        QTest::newRow("clear, two entries") << "ReadClearLog"
                                            << "12,T1;3,T2" << clear + "12条，时间：T1\n3条，时间：T2";
        QTest::newRow("clear, plain") << "ReadClearLog"
                                      << "no separators" << clear + "no separators";
        QTest::newRow("clear, trailing ;") << "ReadClearLog"
                                           << "12,T1;" << clear + "12条，时间：T1\n";
        QTest::newRow("clear, two commas") << "ReadClearLog"
                                           << "1,2,3" << clear + "1条，时间：2条，时间：3";
        QTest::newRow("clear, empty") << "ReadClearLog"
                                      << "" << clear;
        QTest::newRow("time, two entries") << "ReadChangeTimeLog"
                                           << "A,B;C,D" << time + "A，修改后：B\nC，修改后：D";
        QTest::newRow("time, plain") << "ReadChangeTimeLog"
                                     << "2008-07-28 10:00" << time + "2008-07-28 10:00";
        QTest::newRow("time, only ;") << "ReadChangeTimeLog"
                                      << ";;" << time + "\n\n";
        QTest::newRow("time, two commas") << "ReadChangeTimeLog"
                                          << "A,,B" << time + "A，修改后：，修改后：B";
    }
    void shownLog()
    {
        QFETCH(QString, op);
        QFETCH(QString, log);
        QFETCH(QString, text);
        WindowFixture f;
        auto &w = f.w();
        w.TxtAddress->setText(" 12");
        w.setStatusText("old");
        f.link->script(op, 1, {{2, log}});
        button(w, op)->click();
        const auto c = f.link->callsOf(op).last();
        QCOMPARE(c.arg(1).toInt(), 12);
        QCOMPARE(c.arg(2).toString(), QString());
        QCOMPARE(f.op.boxes.size(), 1);
        QCOMPARE(f.op.boxes[0].text, text);
        QCOMPARE(f.op.boxes[0].buttons, OperatorInterface::Buttons::Ok);
        QCOMPARE(f.op.boxes[0].icon, OperatorInterface::Icon::None);
        QCOMPARE(f.op.boxes[0].title, QString("提示"));
        QCOMPARE(w.statusText(), QString("old"));
    }

    void unsupportedRead_data()
    {
        QTest::addColumn<QString>("op");
        QTest::addColumn<QString>("failure");
        QTest::addColumn<QString>("note");
        QTest::newRow("clear") << "ReadClearLog"
                               << "读取清除日志失败，请检查通讯或者该机器不支持此功能！"
                               << "只有在小版本号为‘2008-07-22’及以上的机器才支持此指令。";
        QTest::newRow("time") << "ReadChangeTimeLog"
                              << "读取修改时间日志失败，请检查通讯或者该机器不支持此功能！"
                              << "只有在小版本号为‘2008-07-28’及以上的机器才支持此指令。";
    }
    void unsupportedRead()
    {
        QFETCH(QString, op);
        QFETCH(QString, failure);
        QFETCH(QString, note);
        WindowFixture f;
        auto &w = f.w();
        f.link->script(op, 0, {{2, QString("ignored,;")}});
        button(w, op)->click();
        QCOMPARE(f.link->count(op), 1);  // no retry
        QCOMPARE(f.op.boxes.size(), 1);
        QCOMPARE(f.op.boxes[0].text, failure + "\n" + note);
        QCOMPARE(f.op.boxes[0].icon, OperatorInterface::Icon::None);
        QCOMPARE(f.op.boxes[0].title, QString("提示"));
        QCOMPARE(w.statusText(), failure);
    }

    void errorsAreReportedUnderTheApplicationTitle_data()
    {
        QTest::addColumn<QString>("op");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QVariant>("result");  // used when the address converts
        QTest::addColumn<QString>("text");
        QTest::newRow("null result") << "ReadClearLog"
                                     << "1" << QVariant() << "13:类型不匹配";
        QTest::newRow("text result") << "ReadChangeTimeLog"
                                     << "1" << QVariant("yes") << "13:类型不匹配";
        QTest::newRow("address no number") << "ReadClearLog"
                                           << "x" << QVariant(1) << "13:类型不匹配";
        QTest::newRow("address empty") << "ReadChangeTimeLog"
                                       << "" << QVariant(1) << "13:类型不匹配";
    }
    void errorsAreReportedUnderTheApplicationTitle()
    {
        QFETCH(QString, op);
        QFETCH(QString, address);
        QFETCH(QVariant, result);
        QFETCH(QString, text);
        WindowFixture f;
        auto &w = f.w();
        w.TxtAddress->setText(address);
        w.setStatusText("old");
        f.link->script(op, result);
        button(w, op)->click();
        QCOMPARE(f.op.boxes.size(), 1);
        QCOMPARE(f.op.boxes[0].text, text);
        QCOMPARE(f.op.boxes[0].title, QString("Zevo"));
        QCOMPARE(w.statusText(), QString("old"));
    }

    void linkErrorIsReported()
    {
        WindowFixture f;
        f.link->scriptError("ReadChangeTimeLog", 438, "对象不支持该属性或方法");
        f.w().Command25->click();
        QCOMPARE(f.op.boxes.size(), 1);
        QCOMPARE(f.op.boxes[0].text, QString("438:对象不支持该属性或方法"));
    }
};

QTEST_MAIN(RecordsLogs)
#include "records_logs.moc"
