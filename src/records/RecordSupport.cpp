#include "records/RecordSupport.h"

#include "common/NumberText.h"
#include "ui/FrmZevo.h"
#include "ui/OperatorInterface.h"

namespace RecordSupport {

std::optional<qint16> checkedAddress(const CommandContext &ctx) {
    const auto address = NumberText::terminalAddress(ctx.window.TxtAddress->text());
    if (!address)
        ctx.op.message(QStringLiteral("请输入考勤机地址。"), OperatorInterface::Buttons::Ok,
                       OperatorInterface::Icon::Question);
    return address;
}

void reportError(const CommandContext &ctx, int number, const QString &description, const QString &title) {
    ctx.op.message(QString::number(number) + QStringLiteral(":") + description, OperatorInterface::Buttons::Ok,
                   OperatorInterface::Icon::None, title);
}

QString filePath(const CommandContext &ctx, const QString &name) { return ctx.appFolder + QLatin1Char('/') + name; }

}  // namespace RecordSupport
