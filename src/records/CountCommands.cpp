#include "records/CountCommands.h"

#include "link/DeviceLink.h"
#include "records/RecordSupport.h"
#include "ui/FrmZevo.h"
#include "ui/LinkCallRunner.h"
#include "ui/OperatorInterface.h"

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>

using namespace RecordSupport;

void CountCommands::command5()
{
    auto &w = ctx_.window;
    w.Label->setText(QStringLiteral("0"));
    guarded(ctx_, [&] {
        const QString address = w.TxtAddress->text();
        qint32 count = 0;
        // The result says nothing the count does not: what the link left in it is shown.
        ctx_.runner.run([&] { ctx_.link.GatherRecordSum(address, count, QStringLiteral("ok")); });
        w.Label->setText(QString::number(count) + QStringLiteral(" 条"));
    });
}

void CountCommands::command1_8()
{
    const QString path = filePath(ctx_, FormattedFileName);
    if (!QFileInfo(path).isFile()) {
        ctx_.window.setStatusText(QStringLiteral("没有采集数据可浏览，请先采集。"));
        return;
    }
    // The viewer gets the path as one argument, so a folder with blanks opens too.
    if (!ctx_.op.openInViewer(path))
        ctx_.op.message(QStringLiteral("无法打开文本查看程序：") + path, OperatorInterface::Buttons::Ok,
                        OperatorInterface::Icon::None);
}
