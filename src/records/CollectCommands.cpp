#include "records/CollectCommands.h"

#include "common/NumberText.h"
#include "common/RaisedError.h"
#include "link/LinkError.h"
#include "link/LinkResult.h"
#include "records/BusyPointer.h"
#include "layout/RecordLayout.h"
#include "records/RecordSupport.h"
#include "records/WindowLayout.h"
#include "ui/CollectionProgress.h"
#include "ui/FrmZevo.h"
#include "ui/LinkCallRunner.h"
#include "ui/OperatorInterface.h"

#include <QCheckBox>
#include <QLineEdit>

using namespace RecordSupport;

void CollectCommands::command4()
{
    if (!checkedAddress(ctx_)) return;
    try {
        collect([this](const QString &address, QString &message, qint32 &count, bool &fullYear) {
            QVariant r;
            const QString sleep = ctx_.window.SleepDate->text();
            const qint16 decimal = ctx_.window.IsCheck->isChecked() ? 1 : 0;
            ctx_.runner.run([&] {
                r = ctx_.link.GatherData(address, ctx_.appFolder, RawFileName, message, count, sleep, decimal,
                                         fullYear);
            });
            return r;
        });
    } catch (const RaisedError &e) {
        reportError(ctx_, e.number, e.description);
    } catch (const std::exception &e) {
        reportError(ctx_, 0, QString::fromLocal8Bit(e.what()));
    }
}

void CollectCommands::command2()
{
    // Every error from here on reaches the handler below; the busy pointer is already restored by then.
    try {
        const qint16 address = NumberText::toInt16OrRaise(ctx_.window.TxtAddress->text());
        if (address < 0 || address > 255) {
            ctx_.op.message(QStringLiteral("请输入考勤机地址。"), OperatorInterface::Buttons::Ok,
                            OperatorInterface::Icon::Question);
            return;
        }
        collect([this](const QString &address, QString &message, qint32 &count, bool &fullYear) {
            QVariant r;
            const QString sleep = ctx_.window.SleepDate->text();
            const qint16 decimal = ctx_.window.IsCheck->isChecked() ? 1 : 0;
            const QString first = ctx_.window.txtBeginPack->text();
            const QString last = ctx_.window.txtEndPack->text();
            ctx_.runner.run([&] {
                r = ctx_.link.GatherData_All(address, ctx_.appFolder, RawFileName, message, count, sleep, decimal,
                                             fullYear, first, last);
            });
            return r;
        });
    } catch (const RaisedError &e) {
        if (e.number == LinkError::WrongArgumentCount)
            ctx_.op.message(
                QStringLiteral("当前动态库不支持此函数，请确保您当前注册的动态库版本为（V7.5.105）及以后版本"),
                OperatorInterface::Buttons::Ok, OperatorInterface::Icon::None, QStringLiteral("提示"));
        else
            reportError(ctx_, e.number, e.description, QStringLiteral("提示"));
    } catch (const std::exception &e) {
        reportError(ctx_, 0, QString::fromLocal8Bit(e.what()), QStringLiteral("提示"));
    }
}

void CollectCommands::collect(const GatherCall &gather)
{
    bool fullYear = ctx_.window.YearCheck->isChecked();
    // Emptied before the call: a failed collection leaves no stale formatted records behind.
    replaceFile(filePath(ctx_, FormattedFileName), QByteArray());
    ctx_.window.setStatusText(QStringLiteral("正在采集，如数据量大，可能要花较长的时间，请耐心等候!"));
    BusyPointer pointer;
    QString message;
    qint32 count = 0;
    QVariant result;
    {
        CollectionProgress progress(ctx_);
        result = gather(ctx_.window.TxtAddress->text(), message, count, fullYear);
    }
    if (LinkResult::toBool(result)) {
        ctx_.window.setStatusText(QStringLiteral(" 采集到的记录数为：") + QString::number(count) + QStringLiteral("  ")
                                  + message);
        if (count > 0) convertRawFile();
    } else {
        ctx_.window.setStatusText(QStringLiteral("采集不成功") + QStringLiteral("  ") + message);
    }
}

void CollectCommands::convertRawFile()
{
    const QByteArray content = readWholeFile(filePath(ctx_, RawFileName));
    const CompiledRecordLayout layout(layoutFromWindow(ctx_.window));
    replaceFile(filePath(ctx_, FormattedFileName), layout.convertFile(content));
}
