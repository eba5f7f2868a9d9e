// One reading of a terminal address text in the window and in the device link: commands that pass
// TxtAddress as text and commands that pass it converted to a number reach the same terminal.
#include "support/SimConsole.h"
#include "support/SimProcess.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#define START(sim) QVERIFY2((sim).start(), qPrintable((sim).errorText()))

class ConfigAddressText : public QObject {
    Q_OBJECT
private slots:
    void textAndNumberReachTheSameTerminal_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("terminal");
        QTest::addColumn<QString>("password");
        QTest::newRow("8.0") << "8.0" << 8 << "1808";
        QTest::newRow("1e2") << "1e2" << 100 << "1100";
        QTest::newRow("7.4") << "7.4" << 7 << "1074";
        QTest::newRow("blank before") << " 7" << 7 << "2007";
    }
    void textAndNumberReachTheSameTerminal()
    {
        QFETCH(QString, text);
        QFETCH(int, terminal);
        QFETCH(QString, password);
        SimProcess sim({"--terminal", "7", "--terminal", "8", "--terminal", "100"});
        START(sim);
        SimConsole c(sim);
        auto &w = c.w();
        QVERIFY(c.useTcp());
        w.TxtAddress->setText(text);

        // 设置密码 passes the address as text.
        w.Text8->setText(password);
        w.Command30->click();
        QCOMPARE(w.statusText(), QString("设置密码成功"));
        QCOMPARE(sim.terminal(terminal)["password"].toString(), password);
        // 读取密码 passes it converted to a number, and reads back what the text-passing command set.
        w.Command31->click();
        QCOMPARE(w.Text8->text(), password);
        QVERIFY(c.op.boxes.isEmpty());
    }

    // A new address typed as "8.0" is what the terminal then answers to, through commands of both kinds.
    void changedAddressIsUsedByEveryCommand()
    {
        SimProcess sim({"--terminal", "18"});
        START(sim);
        SimConsole c(sim);
        auto &w = c.w();
        QVERIFY(c.useTcp());
        w.TxtAddress->setText("18");
        w.TxtNewAddr->setText("8.0");
        w.Command16->click();
        QCOMPARE(w.statusText(), QString("地址修改成功"));
        QCOMPARE(w.TxtAddress->text(), QString("8.0"));
        w.Text8->setText("4321");
        w.Command30->click();
        QCOMPARE(w.statusText(), QString("设置密码成功"));
        QCOMPARE(sim.terminal(8)["password"].toString(), QString("4321"));
        w.Command31->click();
        QCOMPARE(w.Text8->text(), QString("4321"));
    }
};

QTEST_MAIN(ConfigAddressText)
#include "config_address_text.moc"
