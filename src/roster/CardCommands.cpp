#include "roster/CardCommands.h"

#include "common/NumberText.h"
#include "common/RaisedError.h"
#include "link/DeviceLink.h"
#include "link/LinkResult.h"
#include "roster/CardForms.h"
#include "ui/FrmZevo.h"
#include "ui/LinkCallRunner.h"
#include "ui/OperatorInterface.h"

#include <QLabel>
#include <QLineEdit>

namespace {
using Op = OperatorInterface;
const QString CardLength = QStringLiteral("物理卡号要是10 位");
const QString CardPrefix = QStringLiteral("卡号:");

void report(const CommandContext &ctx, const QString &text) { ctx.op.message(text); }
}  // namespace

bool CardCommands::cardNumberComplete() const { return ctx_.window.TxtCardNum->text().size() == CardForms::CardDigits; }

std::optional<qint16> CardCommands::address()
{
    const auto a = NumberText::toInt16(ctx_.window.TxtAddress->text());
    if (!a) ctx_.op.message(QStringLiteral("请输入考勤机地址。"), Op::Buttons::Ok, Op::Icon::Question);
    return a;
}

void CardCommands::readCard()
{
    auto &w = ctx_.window;
    try {
        w.TxtCardNum->setText(QString());
        const qint16 asked = NumberText::toInt16OrRaise(w.TxtAddress->text().trimmed());
        QString reply;
        QVariant r;
        ctx_.runner.run([&] { r = ctx_.link.ReadCardNum(asked, reply); });
        const QString value = LinkResult::toText(r);
        // A read that brought no number back is a failed read even at address 0, where an empty reply
        // would otherwise pass for the terminal's answer.
        if (!value.isEmpty() && CardForms::answeredAddress(reply) == NumberText::toInt16OrRaise(w.TxtAddress->text())) {
            w.TxtCardNum->setText(CardForms::decimalForm(value));
            w.setStatusText(QStringLiteral("物理卡号:") + w.TxtCardNum->text());
        } else {
            w.setStatusText(QStringLiteral("读取物理卡号不成功"));
        }
        w.lblPhyCard_Hex->setText(CardForms::hexForm(value));
    } catch (const RaisedError &e) {
        report(ctx_, e.report());
    } catch (const std::exception &e) {
        report(ctx_, QString::fromLocal8Bit(e.what()));
    }
}

bool CardCommands::checkJobNo()
{
    auto &w = ctx_.window;
    try {
        // Blanks only is not empty: it becomes eight zeros.
        if (w.TxtNo->text().isEmpty()) {
            ctx_.op.message(QStringLiteral("请输入该卡的工号！"), Op::Buttons::Ok, Op::Icon::Question);
            return false;
        }
        w.TxtNo->setText(CardForms::jobNumberForm(w.TxtNo->text()));
        return true;
    } catch (const std::exception &e) {
        report(ctx_, QString::fromLocal8Bit(e.what()));
        return false;
    }
}

std::optional<QString> CardCommands::checkedName()
{
    QLineEdit *box = ctx_.window.TxtNewAddr;
    const QString name = box->text();
    const int bytes = CardForms::nameBytes(name);
    if (bytes <= DeviceLink::NameFieldBytes) return name;
    ctx_.op.message(QStringLiteral("姓名太长：考勤机最多保存%1个字节（%2个汉字），当前姓名有%3个字节，请改短后再发卡！")
                        .arg(DeviceLink::NameFieldBytes)
                        .arg(DeviceLink::NameFieldBytes / 2)
                        .arg(bytes),
                    Op::Buttons::Ok, Op::Icon::Question);
    box->setFocus();
    box->selectAll();
    return std::nullopt;
}

void CardCommands::issue()
{
    auto &w = ctx_.window;
    if (!cardNumberComplete()) {
        w.setStatusText(QStringLiteral("请先读取物理卡号!"));
        return;
    }
    w.setStatusText(QString());
    if (!checkJobNo()) return;
    const auto name = checkedName();
    if (!name) return;
    const auto a = address();
    if (!a) return;
    try {
        const QString card = w.TxtCardNum->text(), job = w.TxtNo->text().trimmed();
        QVariant r;
        ctx_.runner.run([&] {
            r = ctx_.link.CardSendToMachine(*a, card, job, *name, QStringLiteral("00"), QStringLiteral("00000000"));
        });
        // The job number, not the card number, names the card here.
        w.setStatusText(CardPrefix + w.TxtNo->text()
                        + (LinkResult::toBool(r) ? QStringLiteral("发送成功!") : QStringLiteral("发送不成功")));
    } catch (const RaisedError &e) {
        report(ctx_, e.report());
    } catch (const std::exception &e) {
        report(ctx_, QString::fromLocal8Bit(e.what()));
    }
}

void CardCommands::withdraw()
{
    auto &w = ctx_.window;
    w.setStatusText(QString());
    if (!cardNumberComplete()) {
        ctx_.op.message(CardLength);
        return;
    }
    const auto a = address();
    if (!a) return;
    try {
        const QString card = w.TxtCardNum->text().trimmed();
        QVariant r;
        ctx_.runner.run([&] { r = ctx_.link.ClearName(*a, card); });
        w.setStatusText(CardPrefix + w.TxtNo->text()
                        + (LinkResult::toBool(r) ? QStringLiteral("清除成功") : QStringLiteral("清除不成功")));
    } catch (const RaisedError &e) {
        report(ctx_, e.report());
    } catch (const std::exception &e) {
        report(ctx_, QString::fromLocal8Bit(e.what()));
    }
}

void CardCommands::find()
{
    auto &w = ctx_.window;
    if (!cardNumberComplete()) {
        ctx_.op.message(CardLength);  // the status text is left as it was
        return;
    }
    const auto a = address();
    if (!a) return;
    try {
        const QString card = w.TxtCardNum->text().trimmed();
        bool found = false;
        QVariant r;
        ctx_.runner.run([&] { r = ctx_.link.FindCard(*a, card, found); });
        if (LinkResult::toBool(r))
            w.setStatusText(CardPrefix + w.TxtCardNum->text()
                            + (found ? QStringLiteral("存在") : QStringLiteral("不存在")));
        else
            w.setStatusText(QStringLiteral("通讯失败!"));
    } catch (const RaisedError &e) {
        report(ctx_, e.report());
    } catch (const std::exception &e) {
        report(ctx_, QString::fromLocal8Bit(e.what()));
    }
}
