#include "config/ConfigSupport.h"

#include "common/NumberText.h"
#include "ui/FrmZevo.h"
#include "ui/OperatorInterface.h"

namespace ConfigSupport {

void refuseAddress(OperatorInterface &op)
{
    op.message(QStringLiteral("请输入考勤机地址。"), OperatorInterface::Buttons::Ok, OperatorInterface::Icon::Question);
}

std::optional<qint16> addressWord(const CommandContext &ctx)
{
    const auto address = NumberText::toInt16(ctx.window.TxtAddress->text());
    if (!address) refuseAddress(ctx.op);
    return address;
}

std::optional<qint16> checkedAddress(const CommandContext &ctx)
{
    const auto address = NumberText::terminalAddress(ctx.window.TxtAddress->text());
    if (!address) refuseAddress(ctx.op);
    return address;
}

QString addressText(const CommandContext &ctx) { return ctx.window.TxtAddress->text(); }

}  // namespace ConfigSupport
