#include "roster/RosterListCommands.h"

#include "common/NumberText.h"
#include "common/RaisedError.h"
#include "link/DeviceLink.h"
#include "link/LinkError.h"
#include "link/LinkResult.h"
#include "records/BusyPointer.h"
#include "ui/CollectionProgress.h"
#include "ui/FrmZevo.h"
#include "ui/LinkCallRunner.h"
#include "ui/OperatorInterface.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>

namespace {
using Op = OperatorInterface;
const QString Hint = QStringLiteral("提示");

// Errors where the command defines no reaction of its own: reported, the window stays usable.
void report(const CommandContext &ctx, const QString &text, const QString &title = QString())
{
    ctx.op.message(text, Op::Buttons::Ok, Op::Icon::None, title);
}
}  // namespace

void RosterListCommands::gather(const GatherCall &call)
{
    auto &w = ctx_.window;
    BusyPointer busy;
    w.setStatusText(QString());
    w.setStatusText(QStringLiteral("正在采集，如数据量大，可能要花较长的时间，请耐心等候!"));
    const QString address = w.TxtAddress->text();
    const QString sleep = w.SleepDate->text();
    const qint16 decimal = w.IsCheck->isChecked() ? 1 : 0;
    QString message;
    qint32 n = 0;
    QVariant r;
    {
        CollectionProgress progress(ctx_);
        r = call(address, sleep, decimal, message, n);
    }
    // The message is shown as the device link gave it, also when it is empty.
    w.setStatusText(LinkResult::toBool(r)
                        ? QStringLiteral("  采集到的记录数为：") + QString::number(n) + QStringLiteral(",") + message
                        : QStringLiteral("采集不成功,") + message);
}

void RosterListCommands::collect()
{
    try {
        gather([this](const QString &address, const QString &sleep, qint16 decimal, QString &message, qint32 &n) {
            QVariant r;
            ctx_.runner.run([&] {
                r = ctx_.link.GatherSendCardData(address, ctx_.appFolder, RosterFile, message, n, sleep, decimal);
            });
            return r;
        });
    } catch (const RaisedError &e) {
        report(ctx_, e.report());
    } catch (const std::exception &e) {
        report(ctx_, QString::fromLocal8Bit(e.what()));
    }
}

void RosterListCommands::collectRange()
{
    // Every error from here on ends in the handler below, the pointer restored by then; the waiting
    // text stays in the status bar.
    try {
        gather([this](const QString &address, const QString &sleep, qint16 decimal, QString &message, qint32 &n) {
            const QString first = ctx_.window.txtBeginPack->text();
            const QString last = ctx_.window.txtEndPack->text();
            QVariant r;
            ctx_.runner.run([&] {
                r = ctx_.link.GatherSendCardData_all(address, ctx_.appFolder, RosterFile, message, n, sleep, decimal,
                                                     first, last);
            });
            return r;
        });
    } catch (const RaisedError &e) {
        if (e.number == LinkError::WrongArgumentCount)
            report(ctx_, QStringLiteral("当前动态库不支持此函数，请确保您当前注册的动态库版本为（V7.5.105）及以后版本"),
                   Hint);
        else
            report(ctx_, e.report(), Hint);
    } catch (const std::exception &e) {
        report(ctx_, QString::fromLocal8Bit(e.what()), Hint);
    }
}

void RosterListCommands::browse()
{
    const QString path = ctx_.appFolder + QLatin1Char('/') + RosterFile;
    if (!QFileInfo(path).isFile()) {
        ctx_.window.setStatusText(QStringLiteral("没有采集数据可浏览，请先采集。"));
        return;
    }
    // The viewer gets the path as one argument, so a folder with blanks opens too.
    if (!ctx_.op.openInViewer(path)) report(ctx_, QStringLiteral("无法打开文本查看程序：") + path);
}

void RosterListCommands::count()
{
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
            w.setStatusText(QStringLiteral("采集失败"));  // Label7 keeps the last count read
        }
    } catch (const RaisedError &e) {
        report(ctx_, e.report());
    } catch (const std::exception &e) {
        report(ctx_, QString::fromLocal8Bit(e.what()));
    }
}

void RosterListCommands::clear()
{
    auto &w = ctx_.window;
    // A text that is not a number (the empty text included) is refused like one outside 0..255.
    const auto address = NumberText::terminalAddress(w.TxtAddress->text());
    if (!address) {
        ctx_.op.message(QStringLiteral("请输入考勤机地址。"), Op::Buttons::Ok, Op::Icon::Question);
        return;
    }
    if (ctx_.op.message(QStringLiteral("注意：确定要删除考勤机中所有的名单表与考勤记录吗？"), Op::Buttons::YesNo,
                        Op::Icon::Critical)
        != Op::Answer::Yes)
        return;
    try {
        const qint16 trimmed = NumberText::toInt16OrRaise(w.TxtAddress->text().trimmed());
        QVariant r;
        ctx_.runner.run([&] { r = ctx_.link.ClearNameList(trimmed); });
        w.setStatusText(LinkResult::toBool(r) ? QStringLiteral("删除名单表成功") : QStringLiteral("删除名单表不成功"));
    } catch (const RaisedError &e) {
        report(ctx_, e.report());
    } catch (const std::exception &e) {
        report(ctx_, QString::fromLocal8Bit(e.what()));
    }
}
