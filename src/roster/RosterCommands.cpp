#include "roster/RosterCommands.h"

#include "common/NumberText.h"
#include "common/RaisedError.h"
#include "common/TextCodec.h"
#include "link/LinkResult.h"
#include "records/BusyPointer.h"
#include "ui/FrmZevo.h"
#include "ui/LinkCallRunner.h"
#include "ui/OperatorInterface.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
const QString RosterFile = QStringLiteral("NameList.txt");
const QString Waiting = QStringLiteral("正在采集，如数据量大，可能要花较长的时间，请耐心等候!");
const QString AddressPrompt = QStringLiteral("请输入考勤机地址。");
const QString CardLength = QStringLiteral("物理卡号要是10 位");
using Op = OperatorInterface;
}  // namespace

RosterCommands::RosterCommands(const CommandContext &context, QObject *parent) : QObject(parent), ctx_(context) {
    auto &w = ctx_.window;
    connect(w.Cmd_GetNameList, &QPushButton::clicked, this, [this] { collect(); });
    connect(w.Cmd_GetNameList_All, &QPushButton::clicked, this, [this] { collectRange(); });
    connect(w.Command3, &QPushButton::clicked, this, [this] { browse(); });
    connect(w.Command6, &QPushButton::clicked, this, [this] { count(); });
    connect(w.Command10, &QPushButton::clicked, this, [this] { clear(); });
    connect(w.Command7, &QPushButton::clicked, this, [this] { readCard(); });
    connect(w.Command14, &QPushButton::clicked, this, [this] { issue(); });
    connect(w.Command15, &QPushButton::clicked, this, [this] { withdraw(); });
    connect(w.Command22, &QPushButton::clicked, this, [this] { find(); });
}

// Errors where the command defines no reaction of its own: reported, window left usable.
void RosterCommands::reportError(const QString &text) { ctx_.op.message(text); }

void RosterCommands::collect() {
    auto &w = ctx_.window;
    try {
        BusyPointer busy;
        w.setStatusText(QString());
        w.setStatusText(Waiting);
        const QString address = w.TxtAddress->text();
        const QString sleep = w.SleepDate->text();
        const qint16 decimal = w.IsCheck->isChecked() ? 1 : 0;
        QString message;
        qint32 n = 0;
        QVariant r;
        ctx_.runner.run([&] { r = ctx_.link.GatherSendCardData(address, ctx_.appFolder, RosterFile, message, n, sleep, decimal); });
        w.setStatusText(LinkResult::toBool(r) ? QStringLiteral("  采集到的记录数为：") + QString::number(n) + "," + message
                                              : QStringLiteral("采集不成功,") + message);
    } catch (const RaisedError &e) {
        reportError(e.report());
    }
}

void RosterCommands::collectRange() {
    auto &w = ctx_.window;
    BusyPointer busy;
    try {
        w.setStatusText(QString());
        w.setStatusText(Waiting);
        const QString address = w.TxtAddress->text();
        const QString sleep = w.SleepDate->text();
        const qint16 decimal = w.IsCheck->isChecked() ? 1 : 0;
        const QString first = w.txtBeginPack->text(), last = w.txtEndPack->text();
        QString message;
        qint32 n = 0;
        QVariant r;
        ctx_.runner.run([&] {
            r = ctx_.link.GatherSendCardData_all(address, ctx_.appFolder, RosterFile, message, n, sleep, decimal, first, last);
        });
        w.setStatusText(LinkResult::toBool(r) ? QStringLiteral("  采集到的记录数为：") + QString::number(n) + "," + message
                                              : QStringLiteral("采集不成功,") + message);
    } catch (const RaisedError &e) {
        busy.restore();
        const QString text = e.number == 450
            ? QStringLiteral("当前动态库不支持此函数，请确保您当前注册的动态库版本为（V7.5.105）及以后版本")
            : e.report();
        ctx_.op.message(text, Op::Buttons::Ok, Op::Icon::None, QStringLiteral("提示"));
    }
}

void RosterCommands::browse() {
    const QString path = ctx_.appFolder + QLatin1Char('/') + RosterFile;
    if (!QFileInfo(path).isFile()) {
        ctx_.window.setStatusText(QStringLiteral("没有采集数据可浏览，请先采集。"));
        return;
    }
    if (!ctx_.op.openInViewer(path)) reportError(QStringLiteral("无法打开文本查看程序：") + path);
}

void RosterCommands::count() {
    auto &w = ctx_.window;
    try {
        const QString address = w.TxtAddress->text();
        qint32 n = 0;
        QVariant r;
        ctx_.runner.run([&] { r = ctx_.link.GatherSendCardSum(address, n); });
        if (LinkResult::toBool(r)) {
            w.setStatusText(QStringLiteral("采集成功"));
            w.Label7->setText(QString::number(n) + QStringLiteral(" 条"));
        } else {
            w.setStatusText(QStringLiteral("采集失败"));
        }
    } catch (const RaisedError &e) {
        reportError(e.report());
    }
}

void RosterCommands::clear() {
    auto &w = ctx_.window;
    const auto address = NumberText::terminalAddress(w.TxtAddress->text());
    if (!address) {
        ctx_.op.message(AddressPrompt, Op::Buttons::Ok, Op::Icon::Question);
        return;
    }
    if (ctx_.op.message(QStringLiteral("注意：确定要删除考勤机中所有的名单表与考勤记录吗？"), Op::Buttons::YesNo,
                        Op::Icon::Critical) != Op::Answer::Yes)
        return;
    try {
        QVariant r;
        ctx_.runner.run([&] { r = ctx_.link.ClearNameList(*address); });
        w.setStatusText(LinkResult::toBool(r) ? QStringLiteral("删除名单表成功") : QStringLiteral("删除名单表不成功"));
    } catch (const RaisedError &e) {
        reportError(e.report());
    }
}

void RosterCommands::readCard() {
    auto &w = ctx_.window;
    try {
        w.TxtCardNum->setText(QString());
        const qint16 address = NumberText::toInt16OrRaise(w.TxtAddress->text().trimmed());
        QString reply;
        QVariant r;
        ctx_.runner.run([&] { r = ctx_.link.ReadCardNum(address, reply); });
        const QString value = LinkResult::toText(r);
        // The hex digits at the start of the reply's first two characters name the terminal that answered.
        const QString head = reply.left(2);
        int digits = 0;
        while (digits < head.size() && QStringLiteral("0123456789abcdefABCDEF").contains(head[digits])) ++digits;
        const int answered = digits ? head.left(digits).toInt(nullptr, 16) : 0;
        if (answered == NumberText::toInt16OrRaise(w.TxtAddress->text())) {
            w.TxtCardNum->setText((QStringLiteral("0000000000") + value).right(10));
            w.setStatusText(QStringLiteral("物理卡号:") + w.TxtCardNum->text());
        } else {
            w.setStatusText(QStringLiteral("读取物理卡号不成功"));
        }
        bool ok = false;
        const qint32 whole = value.trimmed().toInt(&ok);
        if (!ok) throw RaisedError(RaisedError::TypeMismatch, QStringLiteral("类型不匹配"));
        w.lblPhyCard_Hex->setText(QString::number(whole, 16).toUpper());
    } catch (const RaisedError &e) {
        reportError(e.report());
    }
}

bool RosterCommands::checkJobNo() {
    auto &w = ctx_.window;
    if (w.TxtNo->text().isEmpty()) {
        ctx_.op.message(QStringLiteral("请输入该卡的工号！"), Op::Buttons::Ok, Op::Icon::Question);
        return false;
    }
    const QString t = w.TxtNo->text().trimmed();
    const QString job = t.size() >= 8 ? t.left(8) : QString(8 - t.size(), QLatin1Char('0')) + t;
    w.TxtNo->setText(job);
    return true;
}

void RosterCommands::issue() {
    auto &w = ctx_.window;
    if (w.TxtCardNum->text().size() != 10) {
        w.setStatusText(QStringLiteral("请先读取物理卡号!"));
        return;
    }
    w.setStatusText(QString());
    if (!checkJobNo()) return;
    const auto address = NumberText::toInt16(w.TxtAddress->text());
    if (!address) {
        ctx_.op.message(AddressPrompt, Op::Buttons::Ok, Op::Icon::Question);
        return;
    }
    const QString name = w.TxtNewAddr->text();
    const int bytes = int(TextCodec::encode(name).size());
    if (bytes > NameFieldBytes) {
        ctx_.op.message(QStringLiteral("姓名太长：终端最多保存%1个字节（约%2个汉字），当前为%3个字节。")
                            .arg(NameFieldBytes).arg(NameFieldBytes / 2).arg(bytes),
                        Op::Buttons::Ok, Op::Icon::Question);
        return;
    }
    try {
        const QString card = w.TxtCardNum->text(), job = w.TxtNo->text().trimmed();
        QVariant r;
        ctx_.runner.run([&] { r = ctx_.link.CardSendToMachine(*address, card, job, name, "00", "00000000"); });
        w.setStatusText(QStringLiteral("卡号:") + w.TxtNo->text() +
                        (LinkResult::toBool(r) ? QStringLiteral("发送成功!") : QStringLiteral("发送不成功")));
    } catch (const RaisedError &e) {
        reportError(e.report());
    }
}

void RosterCommands::withdraw() {
    auto &w = ctx_.window;
    w.setStatusText(QString());
    if (w.TxtCardNum->text().size() != 10) {
        ctx_.op.message(CardLength);
        return;
    }
    const auto address = NumberText::toInt16(w.TxtAddress->text());
    if (!address) {
        ctx_.op.message(AddressPrompt, Op::Buttons::Ok, Op::Icon::Question);
        return;
    }
    try {
        const QString card = w.TxtCardNum->text().trimmed();
        QVariant r;
        ctx_.runner.run([&] { r = ctx_.link.ClearName(*address, card); });
        w.setStatusText(QStringLiteral("卡号:") + w.TxtNo->text() +
                        (LinkResult::toBool(r) ? QStringLiteral("清除成功") : QStringLiteral("清除不成功")));
    } catch (const RaisedError &e) {
        reportError(e.report());
    }
}

void RosterCommands::find() {
    auto &w = ctx_.window;
    if (w.TxtCardNum->text().size() != 10) {
        ctx_.op.message(CardLength);
        return;
    }
    const auto address = NumberText::toInt16(w.TxtAddress->text());
    if (!address) {
        ctx_.op.message(AddressPrompt, Op::Buttons::Ok, Op::Icon::Question);
        return;
    }
    try {
        const QString card = w.TxtCardNum->text().trimmed();
        bool found = false;
        QVariant r;
        ctx_.runner.run([&] { r = ctx_.link.FindCard(*address, card, found); });
        if (LinkResult::toBool(r))
            w.setStatusText(QStringLiteral("卡号:") + w.TxtCardNum->text() + (found ? QStringLiteral("存在") : QStringLiteral("不存在")));
        else
            w.setStatusText(QStringLiteral("通讯失败!"));
    } catch (const RaisedError &e) {
        reportError(e.report());
    }
}
