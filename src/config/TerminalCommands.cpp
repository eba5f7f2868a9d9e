#include "config/TerminalCommands.h"

#include "common/NumberText.h"
#include "config/ConfigSupport.h"
#include "link/LinkResult.h"
#include "ui/FrmZevo.h"
#include "ui/OperatorInterface.h"

#include <QComboBox>

namespace {

const QString NewAddressPrompt = QStringLiteral("请输入考勤机新的地址。");

// The menu password the terminal can hold: 1 to 4 digits (blanks around them are dropped). A sign,
// a point or a fifth digit would not be stored as typed, so they are refused.
std::optional<QString> menuPassword(const QString &text)
{
    const QString digits = text.trimmed();
    if (digits.isEmpty() || digits.size() > 4) return std::nullopt;
    for (QChar c : digits)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return std::nullopt;
    return digits;
}

// A whole-number result; empty for null or a non-number.
std::optional<qint64> wholeResult(const QVariant &result)
{
    try {
        return LinkResult::toWhole(result);
    } catch (const LinkError &) {
        return std::nullopt;
    }
}

}  // namespace

void TerminalCommands::command16()
{
    auto &w = ctx_.window;
    const auto address = ConfigSupport::checkedAddress(ctx_);
    if (!address) return;
    w.setStatusText(QString());

    const QString newText = w.TxtNewAddr->text();
    const auto newAddress = NumberText::toInt16(newText);
    if (newText.trimmed().isEmpty() || !newAddress) {
        w.setStatusText(NewAddressPrompt);
        return;
    }
    const QVariant result =
        ConfigSupport::call(ctx_, [&](DeviceLink &link) { return link.RepairAddress(*address, *newAddress); });
    if (!LinkResult::toBool(result)) {
        w.setStatusText(QStringLiteral("地址修改不成功"));
        return;
    }
    // TxtAddress holds at most 3 characters: a longer text ("0007") would be cut to another address,
    // so it is copied as the number the terminal now answers to.
    const bool fits = w.TxtAddress->maxLength() <= 0 || newText.size() <= w.TxtAddress->maxLength();
    w.TxtAddress->setText(fits ? newText : QString::number(*newAddress));
    w.setStatusText(QStringLiteral("地址修改成功"));
}

void TerminalCommands::command30()
{
    auto &w = ctx_.window;
    const auto password = menuPassword(w.Text8->text());
    if (!password) {
        ctx_.op.message(QStringLiteral("密码密码为不大于4位的数字"), OperatorInterface::Buttons::Ok,
                        OperatorInterface::Icon::None, QStringLiteral("提示"));
        w.Text8->setFocus();
        return;
    }
    const QString address = ConfigSupport::addressText(ctx_);
    const QVariant result =
        ConfigSupport::call(ctx_, [&](DeviceLink &link) { return link.SetMachinePassword(address, *password); });
    w.setStatusText(LinkResult::toBool(result) ? QStringLiteral("设置密码成功") : QStringLiteral("设置失败"));
}

void TerminalCommands::command31()
{
    auto &w = ctx_.window;
    w.Text8->setText(QString());
    const auto address = ConfigSupport::addressWord(ctx_);
    if (!address) return;
    const QVariant result =
        ConfigSupport::call(ctx_, [&](DeviceLink &link) { return link.GetMachinePassword(*address); });
    // A null or non-numeric answer is a failed read, like a negative one.
    const auto password = wholeResult(result);
    if (!password || *password < 0) {
        w.Text8->setText(QString());
        w.setStatusText(QStringLiteral("读取密码失败"));
        return;
    }
    w.Text8->setText((QStringLiteral("0000") + QString::number(*password)).right(4));
    w.setStatusText(QStringLiteral("读取密码成功") + w.Text8->text());
}

void TerminalCommands::cmdGetStorage()
{
    const QString address = ConfigSupport::addressText(ctx_);
    const auto code =
        wholeResult(ConfigSupport::call(ctx_, [&](DeviceLink &link) { return link.GetStorageModel(address); }));
    QString text = QStringLiteral("读取出现异常错误");
    if (code == -1)
        text = QStringLiteral("读取失败");
    else if (code == 1)
        text = QStringLiteral("考勤机处于实时上传模式");
    else if (code == 2)
        text = QStringLiteral("考勤机处于脱机存储模式");
    ctx_.op.message(text);
}

void TerminalCommands::cmdSetStorage_1()
{
    auto &w = ctx_.window;
    const int index = w.cmbStorageModel->currentIndex();
    if (index < 0) return;  // no mode chosen: nothing that could be sent means anything
    const QString address = ConfigSupport::addressText(ctx_);
    const auto code = static_cast<qint16>(index + 1);
    ConfigSupport::call(ctx_, [&](DeviceLink &link) { return link.SetStorageModel(address, code); });
    w.setStatusText(QStringLiteral("已下发修改模式指令"));
}
