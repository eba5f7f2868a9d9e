#include "records/LogCommands.h"

#include "common/NumberText.h"
#include "link/DeviceLink.h"
#include "link/LinkResult.h"
#include "records/RecordSupport.h"
#include "ui/FrmZevo.h"
#include "ui/LinkCallRunner.h"
#include "ui/OperatorInterface.h"

using namespace RecordSupport;

const LogCommands::Log LogCommands::ClearLog{
    true,
    QStringLiteral("条，时间："),
    QStringLiteral("读取清除日志成功。"),
    QStringLiteral("读取清除日志失败，请检查通讯或者该机器不支持此功能！"),
    QStringLiteral("只有在小版本号为‘2008-07-22’及以上的机器才支持此指令。"),
};

const LogCommands::Log LogCommands::ChangeTimeLog{
    false,
    QStringLiteral("，修改后："),
    QStringLiteral("读取修改时间日志成功。"),
    QStringLiteral("读取修改时间日志失败，请检查通讯或者该机器不支持此功能！"),
    QStringLiteral("只有在小版本号为‘2008-07-28’及以上的机器才支持此指令。"),
};

void LogCommands::cmdReadClearLog() { read(ClearLog); }
void LogCommands::command25() { read(ChangeTimeLog); }

QString LogCommands::shownLog(const QString &log, const QString &comma)
{
    QString shown = log;
    shown.replace(QLatin1Char(';'), QChar(10));
    shown.replace(QLatin1Char(','), comma);
    return shown;
}

void LogCommands::read(const Log &log)
{
    const QString hint = QStringLiteral("提示");
    // Every error from the address conversion to the reading of the result reaches the report.
    guarded(ctx_, [&] {
        const qint16 address = NumberText::toInt16OrRaise(ctx_.window.TxtAddress->text().trimmed());
        QString text;
        QVariant r;
        ctx_.runner.run([&] {
            r = log.clearLog ? ctx_.link.ReadClearLog(address, text) : ctx_.link.ReadChangeTimeLog(address, text);
        });
        if (LinkResult::toBoolStrict(r)) {
            ctx_.op.message(log.heading + QChar(10) + QChar(10) + shownLog(text, log.comma),
                            OperatorInterface::Buttons::Ok, OperatorInterface::Icon::None, hint);
        } else {
            ctx_.op.message(log.failure + QChar(10) + log.firmware, OperatorInterface::Buttons::Ok,
                            OperatorInterface::Icon::None, hint);
            ctx_.window.setStatusText(log.failure);
        }
    });
}
