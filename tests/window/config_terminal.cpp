#include "support/WindowFixture.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTest>

class ConfigTerminal : public QObject {
    Q_OBJECT
private slots:
    void addressChangeMovesTxtAddressToTheNewTerminal()
    {
        WindowFixture f;
        auto &w = f.w();
        f.link->clearCalls();
        w.TxtAddress->setText("105");
        w.TxtNewAddr->setText("7");
        w.Command16->click();
        const auto change = f.link->callsOf("RepairAddress").last();
        QCOMPARE(change.arg(1).toInt(), 105);
        QCOMPARE(change.arg(2).toInt(), 7);
        QCOMPARE(w.TxtAddress->text(), QString("7"));
        QCOMPARE(w.statusText(), QString("地址修改成功"));
        w.Command31->click();
        QCOMPARE(f.link->callsOf("GetMachinePassword").last().arg(1).toInt(), 7);
    }

    void failedAddressChangeKeepsTxtAddress()
    {
        WindowFixture f;
        auto &w = f.w();
        w.TxtAddress->setText("105");
        w.TxtNewAddr->setText("7");
        f.link->script("RepairAddress", false);
        w.Command16->click();
        QCOMPARE(w.TxtAddress->text(), QString("105"));
        QCOMPARE(w.statusText(), QString("地址修改不成功"));
    }

    void addressChangeRefusals()
    {
        WindowFixture f;
        auto &w = f.w();
        f.link->clearCalls();
        w.TxtAddress->setText("256");
        w.TxtNewAddr->setText("7");
        w.Command16->click();
        QCOMPARE(f.op.boxes.size(), 1);
        QCOMPARE(f.op.boxes[0].text, QString("请输入考勤机地址。"));
        QCOMPARE(f.op.boxes[0].icon, OperatorInterface::Icon::Question);

        w.TxtAddress->setText("18");
        for (const char *bad : {"", "  ", "x7", "99999"}) {
            w.setStatusText("old");
            w.TxtNewAddr->setText(bad);
            w.Command16->click();
            QCOMPARE(w.statusText(), QString("请输入考勤机新的地址。"));
        }
        QCOMPARE(f.link->count("RepairAddress"), 0);
        QCOMPARE(w.TxtAddress->text(), QString("18"));
    }

    void newAddressLongerThanTxtAddressIsCopiedAsItsNumber()
    {
        WindowFixture f;
        auto &w = f.w();
        w.TxtNewAddr->setText("0007");
        w.Command16->click();
        QCOMPARE(f.link->callsOf("RepairAddress").last().arg(2).toInt(), 7);
        QCOMPARE(w.TxtAddress->text(), QString("7"));
    }

    void passwordRead_data()
    {
        QTest::addColumn<QVariant>("answer");
        QTest::addColumn<QString>("shown");
        QTest::newRow("42") << QVariant(42) << "0042";
        QTest::newRow("12345") << QVariant(12345) << "2345";
        QTest::newRow("7") << QVariant(7) << "0007";
        QTest::newRow("0") << QVariant(0) << "0000";
    }
    void passwordRead()
    {
        QFETCH(QVariant, answer);
        QFETCH(QString, shown);
        WindowFixture f;
        auto &w = f.w();
        w.TxtAddress->setText(" 18 ");
        w.Text8->setText("9999");
        f.link->script("GetMachinePassword", answer);
        w.Command31->click();
        QCOMPARE(f.link->callsOf("GetMachinePassword").last().arg(1).toInt(), 18);
        QCOMPARE(w.Text8->text(), shown);
        QCOMPARE(w.statusText(), QString("读取密码成功") + shown);
    }

    void passwordReadFailure()
    {
        WindowFixture f;
        auto &w = f.w();
        for (const QVariant &answer : {QVariant(-1), QVariant(), QVariant(QString("abc"))}) {
            w.Text8->setText("1234");
            w.setStatusText("old");
            f.link->script("GetMachinePassword", answer);
            w.Command31->click();
            QCOMPARE(w.Text8->text(), QString());
            QCOMPARE(w.statusText(), QString("读取密码失败"));
        }
    }

    void passwordSet()
    {
        WindowFixture f;
        auto &w = f.w();
        w.TxtAddress->setText("18");
        w.Text8->setText("0042");
        w.Command30->click();
        auto call = f.link->callsOf("SetMachinePassword").last();
        QCOMPARE(call.arg(1).toString(), QString("18"));
        QCOMPARE(call.arg(2).toString(), QString("0042"));
        QCOMPARE(w.statusText(), QString("设置密码成功"));
        f.link->script("SetMachinePassword", false);
        w.Text8->setText(" 7 ");
        w.Command30->click();
        QCOMPARE(f.link->callsOf("SetMachinePassword").last().arg(2).toString(), QString("7"));
        QCOMPARE(w.statusText(), QString("设置失败"));
    }

    void passwordRefusals_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("12a") << "12a";
        QTest::newRow("empty") << "";
        QTest::newRow("five digits") << "12345";
        QTest::newRow("sign") << "-12";
        QTest::newRow("point") << "1.5";
    }
    void passwordRefusals()
    {
        QFETCH(QString, text);
        WindowFixture f;
        auto &w = f.w();
        w.show();
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        f.link->clearCalls();
        w.Text8->setText(text);
        w.setStatusText("old");
        w.Command30->click();
        QCOMPARE(f.link->count("SetMachinePassword"), 0);
        QCOMPARE(f.op.boxes.size(), 1);
        QCOMPARE(f.op.boxes[0].text, QString("密码密码为不大于4位的数字"));
        QCOMPARE(f.op.boxes[0].icon, OperatorInterface::Icon::None);
        QCOMPARE(f.op.boxes[0].title, QString("提示"));
        QTRY_COMPARE(QApplication::focusWidget(), w.Text8);
        QCOMPARE(w.statusText(), QString("old"));
    }

    void storageModeRead_data()
    {
        QTest::addColumn<QVariant>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("-1") << QVariant(-1) << "读取失败";
        QTest::newRow("1") << QVariant(1) << "考勤机处于实时上传模式";
        QTest::newRow("2") << QVariant(2) << "考勤机处于脱机存储模式";
        QTest::newRow("0") << QVariant(0) << "读取出现异常错误";
        QTest::newRow("3") << QVariant(3) << "读取出现异常错误";
        QTest::newRow("null") << QVariant() << "读取出现异常错误";
    }
    void storageModeRead()
    {
        QFETCH(QVariant, code);
        QFETCH(QString, text);
        WindowFixture f;
        f.w().TxtAddress->setText("18");
        f.link->script("GetStorageModel", code);
        f.w().cmdGetStorage->click();
        QCOMPARE(f.link->callsOf("GetStorageModel").last().arg(1).toString(), QString("18"));
        QCOMPARE(f.op.boxes.size(), 1);
        QCOMPARE(f.op.boxes[0].text, text);
        QCOMPARE(f.op.boxes[0].icon, OperatorInterface::Icon::None);
        QCOMPARE(f.op.boxes[0].title, QString("Zevo"));
    }

    void storageModeSetSendsListIndexPlusOne()
    {
        WindowFixture f;
        auto &w = f.w();
        QCOMPARE(w.cmbStorageModel->count(), 2);
        f.link->script("SetStorageModel", false);
        w.cmdSetStorage_1->click();
        QCOMPARE(f.link->callsOf("SetStorageModel").last().arg(2).toInt(), 1);
        QCOMPARE(w.statusText(), QString("已下发修改模式指令"));
        w.cmbStorageModel->setCurrentIndex(1);
        w.cmdSetStorage_1->click();
        QCOMPARE(f.link->callsOf("SetStorageModel").last().arg(2).toInt(), 2);
    }
};

QTEST_MAIN(ConfigTerminal)
#include "config_terminal.moc"
