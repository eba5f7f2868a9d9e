#include "app/ConnectionCommands.h"

#include "app/SettingsStore.h"
#include "common/NumberText.h"
#include "link/LinkError.h"
#include "link/LinkResult.h"
#include "link/PortFailureText.h"
#include "ui/FrmZevo.h"
#include "ui/LinkCallRunner.h"
#include "ui/OperatorInterface.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

namespace {
const QString NotConnected = QStringLiteral("连接考勤机");
}  // namespace

ConnectionCommands::ConnectionCommands(const CommandContext &context, SettingsStore &settings, QObject *parent)
    : QObject(parent), ctx_(context), settings_(settings)
{
    FrmZevo &w = ctx_.window;
    connect(&w, &FrmZevo::comButtonClicked, this, &ConnectionCommands::comButtonClicked);
    connect(w.optCom, &QRadioButton::clicked, this, &ConnectionCommands::serialMode);
    connect(w.optTcp, &QRadioButton::clicked, this, &ConnectionCommands::tcpMode);
    connect(w.cmdConnectNet, &QPushButton::clicked, this, &ConnectionCommands::connectClicked);
    connect(w.TimerState, &QTimer::timeout, this, &ConnectionCommands::timerTick);
    w.TxtAddress->validator = [this] { return validateAddress(); };
}

void ConnectionCommands::reportError(const RaisedError &e) { ctx_.op.message(e.report()); }

void ConnectionCommands::comButtonClicked(int index)
{
    FrmZevo &w = ctx_.window;
    settings_.write(QStringLiteral("Com"), QString::number(index));
    settings_.write(QStringLiteral("Address"), w.TxtAddress->text());
    const QString key = w.comButtons[index]->property("key").toString();
    const auto n = NumberText::toInt16(key.mid(3));
    if (!n) return;  // every key is "Com" + its index
    try {
        SelectComPort(*n);
    } catch (const RaisedError &e) {
        reportError(e);
        return;
    }
    for (int i = 1; i <= 8; ++i)
        if (i != *n) w.setComButtonImage(i, 2);
}

void ConnectionCommands::SelectComPort(qint16 n)
{
    FrmZevo &w = ctx_.window;
    bool r = false;
    PortFailure failure;
    ctx_.runner.run([&] {
        QVariant port = n;
        r = LinkResult::toBool(ctx_.link.SetPort(port));
        if (!r) failure = ctx_.link.lastPortFailure();
    });
    const QString number = QString::number(n);
    if (r) {
        w.setComButton(n, true, 1);
        w.setStatusText(QStringLiteral("串口:") + number + QStringLiteral(" 设置成功!"));
    } else {
        w.setComButton(n, false, 2);
        w.setStatusText(QStringLiteral("串口:") + number + QStringLiteral(" 设置失败!")
                        + (failure.any() ? u' ' + portFailureText(failure) : QString()));
    }
}

void ConnectionCommands::serialMode()
{
    FrmZevo &w = ctx_.window;
    w.tbComPort->setEnabled(true);
    w.txtIP->setEnabled(false);
    w.txtTcpPort->setEnabled(false);
    w.cmdConnectNet->setEnabled(false);
    w.TimerState->stop();
    w.DOWNLOG->setEnabled(true);
    w.cmdSendMsg->setEnabled(true);
    w.cmdGetSounds->setEnabled(true);
    try {
        ctx_.runner.run([&] { ctx_.link.Mode(0); });
    } catch (const RaisedError &) {
        // An older component has no Mode; serial is all it knows.
    }
}

void ConnectionCommands::tcpMode()
{
    FrmZevo &w = ctx_.window;
    try {
        ctx_.runner.run([&] { ctx_.link.Mode(1); });
    } catch (const RaisedError &) {
        ctx_.op.message(QStringLiteral("您所使用的动态库不支持TCP通讯!") + QChar(10)
                            + QStringLiteral("请使用V7.2以上版本的 'AttLink_V70.dll' 动态库(2007年8月推出)"),
                        OperatorInterface::Buttons::Ok, OperatorInterface::Icon::None, QStringLiteral("提示"));
        w.optCom->setChecked(true);
        serialMode();
        return;
    }
    w.tbComPort->setEnabled(false);
    w.txtIP->setEnabled(true);
    w.txtTcpPort->setEnabled(true);
    w.cmdConnectNet->setEnabled(true);
    tickErrorShown_ = false;
    w.TimerState->start();
    w.DOWNLOG->setEnabled(false);
    w.cmdSendMsg->setEnabled(false);
    w.cmdGetSounds->setEnabled(false);
}

void ConnectionCommands::connectClicked()
{
    FrmZevo &w = ctx_.window;
    try {
        bool r = false;
        if (w.cmdConnectNet->text() == NotConnected) {
            const QString ip = w.txtIP->text(), port = w.txtTcpPort->text();
            ctx_.runner.run([&] { r = LinkResult::toBool(ctx_.link.Connect_Net(ip, port)); });
            if (r) {
                w.lblTcpState->setText(QStringLiteral("连接成功！"));
                w.cmdConnectNet->setText(QStringLiteral("断开连接"));
            } else {
                w.lblTcpState->setText(QStringLiteral("连接失败！"));
            }
        } else {
            ctx_.runner.run([&] { r = LinkResult::toBool(ctx_.link.Disconnect_Net()); });
            if (r) {
                w.lblTcpState->setText(QStringLiteral("连接已断开"));
                w.cmdConnectNet->setText(NotConnected);
            }
        }
    } catch (const RaisedError &e) {
        reportError(e);
    }
}

QString ConnectionCommands::tcpStateCaption(const QVariant &state)
{
    static const char *const captions[] = {
        "连接已关闭",           "打开状态", "侦听", "连接挂起", "识别主机", "已识别主机", "正在连接", "已连接",
        "同级人员正在关闭连接", "错误"};
    bool ok = false;
    const double v = state.isNull() ? -1 : state.toDouble(&ok);
    for (int i = 0; ok && i < 10; ++i)
        if (v == i) return QString::fromUtf8(captions[i]);
    return QStringLiteral("未知状态");
}

void ConnectionCommands::timerTick()
{
    FrmZevo &w = ctx_.window;
    // A tick never makes its call inside another command's call: the ticks that fall due meanwhile
    // run as one once that call is over, if the timer still runs then.
    if (ctx_.runner.busy()) {
        if (!tickDeferred_) {
            tickDeferred_ = true;
            ctx_.runner.whenIdle([this] {
                tickDeferred_ = false;
                if (ctx_.window.TimerState->isActive()) timerTick();
            });
        }
        return;
    }
    QVariant s;
    try {
        // Reading the state only looks at the socket, it never waits: called here directly, not through
        // the runner, which would drop the keys and clicks that arrive meanwhile.
        s = ctx_.link.tcpstate();
    } catch (const RaisedError &e) {
        // Shown once per run of failing ticks, with the timer held while the box is open, so that a
        // broken link does not pile up a box every two seconds.
        w.lblTcpState->setText(QStringLiteral("未知状态"));
        if (!tickErrorShown_) {
            tickErrorShown_ = true;
            w.TimerState->stop();
            reportError(e);
            if (w.optTcp->isChecked()) w.TimerState->start();
        }
        return;
    }
    tickErrorShown_ = false;
    w.lblTcpState->setText(tcpStateCaption(s));
}

bool ConnectionCommands::validateAddress()
{
    FrmZevo &w = ctx_.window;
    const QString text = w.TxtAddress->text();
    if (text.isEmpty() || NumberText::terminalAddress(text)) return true;
    ctx_.op.message(QStringLiteral("请输入‘1 → 255  之间的数字字符！"), OperatorInterface::Buttons::Ok,
                    OperatorInterface::Icon::Question);
    w.TxtAddress->clear();
    w.TxtAddress->setFocus(Qt::OtherFocusReason);
    return false;
}
