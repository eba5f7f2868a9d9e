#include "config/DisplayCommands.h"

#include "config/ConfigSupport.h"
#include "config/VersionGate.h"
#include "link/LinkResult.h"
#include "ui/FrmZevo.h"
#include "ui/OperatorInterface.h"

#include <QWidget>

void DisplayCommands::setKorvaneLogo() { setLogoMode(true); }
void DisplayCommands::clearLogo() { setLogoMode(false); }

void DisplayCommands::setLogoMode(bool restore)
{
    auto &w = ctx_.window;
    const QString version = LinkResult::toText(ConfigSupport::call(ctx_, [](DeviceLink &link) { return link.Ver(); }));
    if (!VersionGate::atLeast(version, VersionGate::BootPictureMinimum)) {
        ctx_.op.message(QStringLiteral("所使用的动态库版本不支持此功能，请使用V7.6.7及以上的版本！"));
        return;
    }
    const auto address = ConfigSupport::addressWord(ctx_);
    if (!address) return;
    const bool done = LinkResult::toBool(
        ConfigSupport::call(ctx_, [&](DeviceLink &link) { return link.SetLogoMode(*address, restore); }));
    if (restore)
        w.setStatusText(done ? QStringLiteral("设置开机画面成功，已恢复成‘Korvane’了")
                             : QStringLiteral("恢复开机画面失败"));
    else
        w.setStatusText(done ? QStringLiteral("清除开机画面成功!") : QStringLiteral("清除开机画面失败"));
}

void DisplayCommands::downlog()
{
    auto &w = ctx_.window;
    // A cancelled dialog keeps the file chosen last time.
    if (const auto chosen = ctx_.op.chooseFile(QStringLiteral("FileOpen"), QStringLiteral("文本文件|*.txt")))
        pictureFile_ = *chosen;
    if (pictureFile_.size() <= 5) return;

    w.setStatusText(QStringLiteral("正在下传图片......"));
    const QString address = ConfigSupport::addressText(ctx_);
    QString fileName = pictureFile_;  // handed by reference; what comes back is not used
    const bool sent = LinkResult::toBool(
        ConfigSupport::call(ctx_, [&](DeviceLink &link) { return link.SendPictureMach(address, fileName); }));
    w.setStatusText(sent ? QStringLiteral("下传图片成功!") : QStringLiteral("下传图片失败!"));
}

void DisplayCommands::cmdSendMsg()
{
    ctx_.window.Picture3->setVisible(true);
    ctx_.window.Picture3->raise();
}

void DisplayCommands::command26()
{
    auto &w = ctx_.window;
    // The panel closes whatever the outcome, an error raised by the device link included.
    struct HidePanel {
        QWidget *panel;
        ~HidePanel() { panel->setVisible(false); }
    } hide{w.Picture3};

    const QString address = ConfigSupport::addressText(ctx_);
    const QString minutes = w.Text6->text(), message = w.TxtMsg->text();
    const bool sent = LinkResult::toBool(
        ConfigSupport::call(ctx_, [&](DeviceLink &link) { return link.SendShortMsg(address, minutes, message); }));
    w.setStatusText(sent ? QStringLiteral(" 发送短信成功!") : QStringLiteral("发送短信失败!"));
}

void DisplayCommands::command27() { ctx_.window.Picture3->setVisible(false); }

void DisplayCommands::cmdGetSounds()
{
    auto &w = ctx_.window;
    const QString address = ConfigSupport::addressText(ctx_);
    const QString number = w.SoundNum->text();
    const bool played = LinkResult::toBool(
        ConfigSupport::call(ctx_, [&](DeviceLink &link) { return link.GetSounds(address, number); }));
    w.setStatusText(played ? QStringLiteral("语音发送成功！") : QStringLiteral("语音发送失败！"));
}
