#include "config/ParameterCommands.h"

#include "common/NumberText.h"
#include "config/ConfigSupport.h"
#include "link/LinkResult.h"
#include "ui/FrmZevo.h"
#include "ui/OperatorInterface.h"

#include <QRadioButton>

namespace {
// Also the refusal for an interval that is not a number or does not fit the 16-bit word.
const QString IntervalRefusal = QStringLiteral("时间不能大于1440钟");
}  // namespace

void ParameterCommands::cmdDelay()
{
    writeParameters({ParameterWords::Mode::Standard, true, true, QStringLiteral("设置打卡延时成功!"),
                     QStringLiteral("设置打卡延时失败")});
}

void ParameterCommands::command13()
{
    writeParameters({ParameterWords::Mode::Attendance, true, false, QStringLiteral("考勤模式设置成功!"),
                     QStringLiteral("考勤模式设置失败!")});
}

void ParameterCommands::command23()
{
    writeParameters({ParameterWords::Mode::AccessControl, false, false, QStringLiteral("门禁模式设置成功!"),
                     QStringLiteral("门禁模式设置失败!")});
}

void ParameterCommands::writeParameters(const Write &write)
{
    auto &w = ctx_.window;
    // Cmd_Delay clears the status before its check, so a refused interval leaves it empty.
    if (write.punchLimit) w.setStatusText(QString());

    const QString minuteText = w.Txt_Minute->text();
    const auto minutes = NumberText::toNumber(minuteText);
    auto interval = ParameterWords::intervalWord(minuteText);
    if (!minutes || !interval || (write.punchLimit && ParameterWords::exceedsPunchLimit(*minutes))) {
        ctx_.op.message(IntervalRefusal);
        return;
    }
    QString relay = ParameterWords::relayWord(w.TxtY->text());
    QString mode = ParameterWords::modeWord(write.mode, w.OpJT->isChecked());

    if (write.clearsStatus && !write.punchLimit) w.setStatusText(QString());
    const auto address = ConfigSupport::addressWord(ctx_);
    if (!address) return;

    const QVariant result = ConfigSupport::call(
        ctx_, [&](DeviceLink &link) { return link.RepairSystemParameter(*address, relay, *interval, mode); });
    w.setStatusText(LinkResult::toBool(result) ? write.successText : write.failureText);
}

void ParameterCommands::command24()
{
    auto &w = ctx_.window;
    const QString address = ConfigSupport::addressText(ctx_);
    QString parameters;
    const QVariant result =
        ConfigSupport::call(ctx_, [&](DeviceLink &link) { return link.ReadSystemParameter(address, parameters); });
    w.setStatusText(LinkResult::toBool(result) ? QStringLiteral("参数为：") + parameters
                                               : QStringLiteral("读参数失败!"));
}
