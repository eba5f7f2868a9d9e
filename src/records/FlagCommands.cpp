#include "records/FlagCommands.h"

#include "link/DeviceLink.h"
#include "link/LinkResult.h"
#include "records/RecordSupport.h"
#include "ui/FrmZevo.h"
#include "ui/LinkCallRunner.h"
#include "ui/OperatorInterface.h"

using namespace RecordSupport;

void FlagCommands::command11()
{
    const auto address = checkedAddress(ctx_);
    if (!address) return;
    if (ctx_.op.message(QStringLiteral("注意：确定它将删除考勤机中所有的考勤记录吗？"),
                        OperatorInterface::Buttons::YesNo, OperatorInterface::Icon::Critical)
        != OperatorInterface::Answer::Yes)
        return;
    auto &w = ctx_.window;
    w.setStatusText(QString());
    guarded(ctx_, [&] {
        QVariant r;
        ctx_.runner.run([&] { r = ctx_.link.ClearRecord(*address); });
        w.setStatusText(LinkResult::toBool(r) ? QStringLiteral("删除记录成功") : QStringLiteral("删除记录不成功"));
    });
}

void FlagCommands::command8()
{
    const auto address = checkedAddress(ctx_);
    if (!address) return;
    guarded(ctx_, [&] {
        QVariant r;
        ctx_.runner.run([&] { r = ctx_.link.ClearFlag(*address); });
        ctx_.window.setStatusText(LinkResult::toBool(r) ? QStringLiteral("清除卡标志成功")
                                                        : QStringLiteral("清除卡标志不成功"));
    });
}

void FlagCommands::command9()
{
    const auto address = checkedAddress(ctx_);
    if (!address) return;
    guarded(ctx_, [&] {
        QString reply;
        // The result is the card number, which the card commands use; the flag is in the reply.
        ctx_.runner.run([&] { ctx_.link.ReadCardNum(*address, reply); });
        ctx_.window.setStatusText(QStringLiteral("标志位：") + reply.mid(4, 2));
    });
}
