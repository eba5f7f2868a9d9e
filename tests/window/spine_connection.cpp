// The connection frame: the port toolbar, serial and TCP modes with the fallback for an older
// component, connect and disconnect, the TCP state display and the check of TxtAddress.
#include "app/ConnectionCommands.h"
#include "app/SettingsStore.h"
#include "support/WindowFixture.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

namespace {

const QString Fallback =
    QStringLiteral("您所使用的动态库不支持TCP通讯!\n请使用V7.2以上版本的 'AttLink_V70.dll' 动态库(2007年8月推出)");
const QString AddressRange = QStringLiteral("请输入‘1 → 255  之间的数字字符！");

void showActive(FrmZevo &w)
{
    w.show();
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
}

// A click as the desktop delivers it: into the window at the control's place, not straight to the control.
void desktopClick(FrmZevo &w, QWidget *control)
{
    QTest::mouseClick(w.windowHandle(), Qt::LeftButton, {}, control->mapTo(&w, control->rect().center()));
}

}  // namespace

class SpineConnection : public QObject {
    Q_OBJECT
private slots:
    void portButton_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<QVariant>("result");
        QTest::addColumn<QString>("status");
        QTest::newRow("Com3 succeeds") << 3 << QVariant(true) << "串口:3 设置成功!";
        QTest::newRow("Com5 fails") << 5 << QVariant(false) << "串口:5 设置失败!";
        QTest::newRow("Com8 succeeds") << 8 << QVariant(-1) << "串口:8 设置成功!";
        QTest::newRow("Com1 no answer") << 1 << QVariant() << "串口:1 设置失败!";
        QTest::newRow("Com2 fails") << 2 << QVariant(0) << "串口:2 设置失败!";
    }
    void portButton()
    {
        QFETCH(int, port);
        QFETCH(QVariant, result);
        QFETCH(QString, status);
        WindowFixture f;
        auto &w = f.w();
        showActive(w);
        f.link->clearCalls();
        w.TxtAddress->setText("42");
        FakeDeviceLink::Answer a;
        a.result = result;
        f.link->script("SetPort", a);
        desktopClick(w, w.comButtons[port]);

        QCOMPARE(f.link->count("SetPort"), 1);
        const QVariant arg = f.link->callsOf("SetPort").first().arg(1);
        QVERIFY(arg.metaType().id() != QMetaType::QString);  // the port as a number here
        QCOMPARE(arg.toInt(), port);
        const bool ok = status.endsWith("成功!");
        QCOMPARE(w.comButtonPressed(port), ok);
        for (int i = 1; i <= 8; ++i) QCOMPARE(w.comButtonImage(i), i == port && ok ? 1 : 2);
        QCOMPARE(w.statusText(), status);
        QCOMPARE(f.console->settings().read("Com", "none"), QString::number(port));
        QCOMPARE(f.console->settings().read("Address", "none"), QString("42"));
        QVERIFY(f.op.boxes.isEmpty());
    }

    // The program sets the pressed state only of the button it selects; the others keep theirs.
    void otherButtonsKeepTheirPressedState()
    {
        WindowFixture f;
        auto &w = f.w();
        QVERIFY(w.comButtonPressed(2));  // start-up selected Com2
        w.comButtons[4]->click();
        QVERIFY(w.comButtonPressed(4));
        QVERIFY(w.comButtonPressed(2));
        QCOMPARE(w.comButtonImage(2), 2);
        w.comButtons[4]->click();  // clicking the pressed button again selects it again
        QVERIFY(w.comButtonPressed(4));
        QCOMPARE(w.comButtonImage(4), 1);
        QCOMPARE(f.link->count("SetPort"), 3);
    }

    void portButtonSurvivesALinkError()
    {
        WindowFixture f;
        auto &w = f.w();
        w.TxtAddress->setText("9");
        f.link->scriptError("SetPort", 8002, "端口号无效");
        w.comButtons[7]->click();
        QCOMPARE(f.op.boxes.size(), 1);
        QCOMPARE(f.op.boxes[0].text, QString("8002:端口号无效"));
        QCOMPARE(f.console->settings().read("Com", ""), QString("7"));
        QCOMPARE(f.console->settings().read("Address", ""), QString("9"));
        w.comButtons[7]->click();
        QCOMPARE(w.comButtonImage(7), 1);
    }

    void tcpAndSerialModes()
    {
        WindowFixture f;
        auto &w = f.w();
        f.link->clearCalls();
        w.optTcp->click();
        QCOMPARE(f.link->callsOf("Mode").last().arg(1).toInt(), 1);
        QVERIFY(w.optTcp->isChecked());
        QVERIFY(!w.tbComPort->isEnabled());
        QVERIFY(w.txtIP->isEnabled());
        QVERIFY(w.txtTcpPort->isEnabled());
        QVERIFY(w.cmdConnectNet->isEnabled());
        QVERIFY(w.TimerState->isActive());
        QCOMPARE(w.TimerState->interval(), 2000);
        QVERIFY(!w.DOWNLOG->isEnabled());
        QVERIFY(!w.cmdSendMsg->isEnabled());
        QVERIFY(!w.cmdGetSounds->isEnabled());
        QVERIFY(f.op.boxes.isEmpty());

        w.cmdConnectNet->click();
        QCOMPARE(w.cmdConnectNet->text(), QString("断开连接"));
        w.optCom->click();
        QCOMPARE(f.link->callsOf("Mode").last().arg(1).toInt(), 0);
        QVERIFY(w.tbComPort->isEnabled());
        QVERIFY(!w.txtIP->isEnabled());
        QVERIFY(!w.txtTcpPort->isEnabled());
        QVERIFY(!w.cmdConnectNet->isEnabled());
        QVERIFY(!w.TimerState->isActive());
        QVERIFY(w.DOWNLOG->isEnabled());
        QVERIFY(w.cmdSendMsg->isEnabled());
        QVERIFY(w.cmdGetSounds->isEnabled());
        // Serial mode does not disconnect; back in TCP the button still offers to disconnect.
        QCOMPARE(f.link->count("Disconnect_Net"), 0);
        QCOMPARE(w.lblTcpState->text(), QString("连接成功！"));
        w.optTcp->click();
        QCOMPARE(w.cmdConnectNet->text(), QString("断开连接"));
    }

    void olderComponentFallsBackToSerial()
    {
        WindowFixture f;
        auto &w = f.w();
        f.link->olderComponent = true;
        f.link->clearCalls();
        w.optTcp->click();
        QCOMPARE(f.op.boxes.size(), 1);
        QCOMPARE(f.op.boxes[0].text, Fallback);
        QCOMPARE(f.op.boxes[0].buttons, OperatorInterface::Buttons::Ok);
        QCOMPARE(f.op.boxes[0].icon, OperatorInterface::Icon::None);
        QCOMPARE(f.op.boxes[0].title, QString("提示"));
        QVERIFY(w.optCom->isChecked());
        QVERIFY(!w.optTcp->isChecked());
        QVERIFY(w.tbComPort->isEnabled());
        QVERIFY(!w.txtIP->isEnabled());
        QVERIFY(!w.cmdConnectNet->isEnabled());
        QVERIFY(!w.TimerState->isActive());
        QVERIFY(w.DOWNLOG->isEnabled());
        // Mode 1 refused, then the serial steps try Mode 0 and ignore its refusal too.
        QCOMPARE(f.link->count("Mode"), 2);
        QCOMPARE(f.link->callsOf("Mode").last().arg(1).toInt(), 0);
    }

    void connectAndDisconnect()
    {
        WindowFixture f;
        auto &w = f.w();
        w.optTcp->click();
        w.txtIP->setText(" 10.0.0.5 ");
        w.txtTcpPort->setText("50x");

        f.link->script("Connect_Net", false);
        w.cmdConnectNet->click();
        QCOMPARE(w.lblTcpState->text(), QString("连接失败！"));
        QCOMPARE(w.cmdConnectNet->text(), QString("连接考勤机"));
        const auto call = f.link->callsOf("Connect_Net").last();
        QCOMPARE(call.arg(1).toString(), QString(" 10.0.0.5 "));  // passed as typed
        QCOMPARE(call.arg(2).toString(), QString("50x"));

        FakeDeviceLink::Answer none;
        none.result = QVariant();
        f.link->script("Connect_Net", none);
        w.cmdConnectNet->click();
        QCOMPARE(w.lblTcpState->text(), QString("连接失败！"));

        w.cmdConnectNet->click();
        QCOMPARE(w.lblTcpState->text(), QString("连接成功！"));
        QCOMPARE(w.cmdConnectNet->text(), QString("断开连接"));

        w.lblTcpState->setText("已连接");
        f.link->script("Disconnect_Net", false);
        w.cmdConnectNet->click();
        QCOMPARE(w.lblTcpState->text(), QString("已连接"));
        QCOMPARE(w.cmdConnectNet->text(), QString("断开连接"));
        f.link->script("Disconnect_Net", none);
        w.cmdConnectNet->click();
        QCOMPARE(w.cmdConnectNet->text(), QString("断开连接"));

        w.cmdConnectNet->click();
        QCOMPARE(w.lblTcpState->text(), QString("连接已断开"));
        QCOMPARE(w.cmdConnectNet->text(), QString("连接考勤机"));
        QCOMPARE(f.link->count("Connect_Net"), 3);
        QCOMPARE(f.link->count("Disconnect_Net"), 3);
        QVERIFY(f.op.boxes.isEmpty());
    }

    void connectErrorIsReported()
    {
        WindowFixture f;
        auto &w = f.w();
        w.optTcp->click();
        f.link->scriptError("Connect_Net", 10061, "连接被拒绝");
        w.cmdConnectNet->click();
        QCOMPARE(f.op.boxes.size(), 1);
        QCOMPARE(f.op.boxes[0].text, QString("10061:连接被拒绝"));
        QCOMPARE(w.cmdConnectNet->text(), QString("连接考勤机"));
        w.cmdConnectNet->click();
        QCOMPARE(w.cmdConnectNet->text(), QString("断开连接"));
    }

    void stateCaptions_data()
    {
        QTest::addColumn<QVariant>("state");
        QTest::addColumn<QString>("caption");
        const char *captions[] = {
            "连接已关闭",           "打开状态", "侦听", "连接挂起", "识别主机", "已识别主机", "正在连接", "已连接",
            "同级人员正在关闭连接", "错误"};
        for (int i = 0; i < 10; ++i)
            QTest::newRow(QByteArray::number(i)) << QVariant(i) << QString::fromUtf8(captions[i]);
        QTest::newRow("10") << QVariant(10) << "未知状态";
        QTest::newRow("-1") << QVariant(-1) << "未知状态";
        QTest::newRow("7.5") << QVariant(7.5) << "未知状态";
        QTest::newRow("text 7") << QVariant(QString("7")) << "已连接";
        QTest::newRow("text") << QVariant(QString("open")) << "未知状态";
        QTest::newRow("null") << QVariant() << "未知状态";
        QTest::newRow("65536 + 7") << QVariant(65543) << "未知状态";
    }
    void stateCaptions()
    {
        QFETCH(QVariant, state);
        QFETCH(QString, caption);
        QCOMPARE(ConnectionCommands::tcpStateCaption(state), caption);
    }

    // Two seconds after a connection the label shows the state instead of the connection result.
    void timerShowsTheState()
    {
        WindowFixture f;
        auto &w = f.w();
        w.optTcp->click();
        w.cmdConnectNet->click();
        QCOMPARE(w.lblTcpState->text(), QString("连接成功！"));
        QTRY_COMPARE_WITH_TIMEOUT(w.lblTcpState->text(), QString("已连接"), 3000);

        f.link->setDefault("tcpstate", {QVariant(12), {}, {}, {}});
        w.TimerState->setInterval(20);
        QTRY_COMPARE(w.lblTcpState->text(), QString("未知状态"));
        f.link->setDefault("tcpstate", {QVariant(0), {}, {}, {}});
        QTRY_COMPARE(w.lblTcpState->text(), QString("连接已关闭"));
        w.optCom->click();
        const int polls = f.link->count("tcpstate");
        QTest::qWait(100);
        QCOMPARE(f.link->count("tcpstate"), polls);
    }

    // A state read that raises is shown once, not a box every tick, and the display recovers.
    void failingStateReadIsReportedOnce()
    {
        WindowFixture f;
        auto &w = f.w();
        w.TimerState->setInterval(20);
        FakeDeviceLink::Answer broken;
        broken.error = LinkError(91, "连接已失效");
        f.link->setDefault("tcpstate", broken);
        w.optTcp->click();
        QTRY_VERIFY(f.link->count("tcpstate") >= 4);
        QCOMPARE(f.op.boxes.size(), 1);
        QCOMPARE(f.op.boxes[0].text, QString("91:连接已失效"));
        QCOMPARE(w.lblTcpState->text(), QString("未知状态"));
        f.link->setDefault("tcpstate", {QVariant(7), {}, {}, {}});
        QTRY_COMPARE(w.lblTcpState->text(), QString("已连接"));
    }

    void addressCheck_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("255") << "255" << true;
        QTest::newRow("0") << "0" << true;
        QTest::newRow("empty") << "" << true;
        QTest::newRow("blanks around") << " 7 " << true;
        QTest::newRow("256") << "256" << false;
        QTest::newRow("-1") << "-1" << false;
        QTest::newRow("letters") << "abc" << false;
        QTest::newRow("digits then letter") << "1a" << false;
        QTest::newRow("blank only") << " " << false;
    }
    void addressCheck()
    {
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        WindowFixture f;
        auto &w = f.w();
        showActive(w);
        w.TxtAddress->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), w.TxtAddress);
        w.TxtAddress->setText(text);
        f.link->clearCalls();
        desktopClick(w, w.Command24);
        if (accepted) {
            QVERIFY(f.op.boxes.isEmpty());
            QCOMPARE(w.TxtAddress->text(), text);
            QCOMPARE(f.link->count("ReadSystemParameter"), 1);
            return;
        }
        QCOMPARE(f.op.boxes.size(), 1);
        QCOMPARE(f.op.boxes[0].text, AddressRange);
        QCOMPARE(f.op.boxes[0].icon, OperatorInterface::Icon::Question);
        QCOMPARE(f.op.boxes[0].buttons, OperatorInterface::Buttons::Ok);
        QCOMPARE(f.op.boxes[0].title, QString("Zevo"));
        QCOMPARE(w.TxtAddress->text(), QString());
        QCOMPARE(QApplication::focusWidget(), w.TxtAddress);
        QCOMPARE(f.link->count("ReadSystemParameter"), 0);  // the click that would leave is swallowed

        // Tab out of a bad address is refused the same way.
        w.TxtAddress->setText("300");
        QTest::keyClick(w.TxtAddress, Qt::Key_Tab);
        QCOMPARE(f.op.boxes.size(), 2);
        QCOMPARE(QApplication::focusWidget(), w.TxtAddress);
        // Emptied, the box lets the focus go.
        desktopClick(w, w.Command24);
        QCOMPARE(f.op.boxes.size(), 2);
        QCOMPARE(f.link->count("ReadSystemParameter"), 1);
    }
};

QTEST_MAIN(SpineConnection)
#include "spine_connection.moc"
