#include "config/ClockCommands.h"

#include "common/OleDate.h"
#include "config/AlarmGrid.h"
#include "config/ConfigSupport.h"
#include "link/LinkResult.h"
#include "ui/FrmZevo.h"
#include "ui/OperatorInterface.h"

#include <QVector>

namespace {

constexpr int AlarmSlots = 11;  // slot 10 is never filled and stays 00:00

QString twoDigits(int n) { return (QStringLiteral("00") + QString::number(n)).right(2); }

const QString NotANumberText = QStringLiteral("请输入数字！");
const QString HourRangeText = QStringLiteral("请输入‘０ → ２３  之间的数字！");
const QString MinuteRangeText = QStringLiteral("请输入０ → ５９之间的数字！");

// Shows the grid box's refusal; true when the text is accepted.
bool checkGridText(OperatorInterface &op, const QString &text, int maximum, const QString &rangeText)
{
    const auto reading = AlarmGrid::read(text, maximum);
    if (reading.verdict == AlarmGrid::Verdict::Accepted) return true;
    op.message(reading.verdict == AlarmGrid::Verdict::NotANumber ? NotANumberText : rangeText,
               OperatorInterface::Buttons::Ok, OperatorInterface::Icon::Question);
    return false;
}

}  // namespace

void ClockCommands::command12()
{
    auto &w = ctx_.window;
    const auto address = ConfigSupport::checkedAddress(ctx_);
    if (!address) return;
    w.setStatusText(QString());

    const QDateTime now = ctx_.op.now();
    QString date =
        QString::number(now.date().year()).right(2) + twoDigits(now.date().month()) + twoDigits(now.date().day());
    QString time = twoDigits(now.time().hour()) + twoDigits(now.time().minute()) + twoDigits(now.time().second());
    QString code = QStringLiteral("01");

    const QVariant result =
        ConfigSupport::call(ctx_, [&](DeviceLink &link) { return link.ModifyDateTime(*address, date, time, code); });
    w.setStatusText(LinkResult::toBool(result) ? QStringLiteral("修改日期成功") : QStringLiteral("修改日期不成功"));
}

void ClockCommands::cmdSetClock()
{
    auto &w = ctx_.window;
    // The grid is checked again here: a text may reach the button without passing through its box's
    // validation, and the terminal must never receive a time the grid would have refused.
    QVector<double> alarms(AlarmSlots, 0.0);
    for (int i = 0; i < 10; ++i) {
        const QString hourText = w.TxtHour[i]->text(), minuteText = w.TxtMin[i]->text();
        if (!checkGridText(ctx_.op, hourText, AlarmGrid::MaxHour, HourRangeText)) {
            w.TxtHour[i]->setFocus();
            return;
        }
        if (!checkGridText(ctx_.op, minuteText, AlarmGrid::MaxMinute, MinuteRangeText)) {
            w.TxtMin[i]->setFocus();
            return;
        }
        alarms[i] = OleDate::fromTimeOfDay(AlarmGrid::read(hourText, AlarmGrid::MaxHour).value,
                                           AlarmGrid::read(minuteText, AlarmGrid::MaxMinute).value);
    }

    const auto address = ConfigSupport::addressWord(ctx_);
    if (!address) return;
    const QString ringPeriod = w.Text7->text();
    const QVariant result =
        ConfigSupport::call(ctx_, [&](DeviceLink &link) { return link.SetClock(*address, alarms, ringPeriod); });
    w.setStatusText(LinkResult::toBool(result) ? QStringLiteral("成功") : QStringLiteral("不成功"));
}

bool ClockCommands::txtHourValidate(int i)
{
    return checkGridText(ctx_.op, ctx_.window.TxtHour[i]->text(), AlarmGrid::MaxHour, HourRangeText);
}

bool ClockCommands::txtMinValidate(int i)
{
    return checkGridText(ctx_.op, ctx_.window.TxtMin[i]->text(), AlarmGrid::MaxMinute, MinuteRangeText);
}
