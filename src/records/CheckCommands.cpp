#include "records/CheckCommands.h"

#include "link/DeviceLink.h"
#include "link/LinkResult.h"
#include "records/BusyPointer.h"
#include "records/RecordSupport.h"
#include "ui/FrmZevo.h"
#include "ui/LinkCallRunner.h"
#include "ui/OperatorInterface.h"

#include <QCheckBox>
#include <QLineEdit>

using namespace RecordSupport;

void CheckCommands::cmdCheckData()
{
    if (!checkedAddress(ctx_)) return;
    auto &w = ctx_.window;
    guarded(ctx_, [&] {
        bool fullYear = w.YearCheck->isChecked();
        BusyPointer pointer;
        const QString address = w.TxtAddress->text();
        const qint16 decimal = w.IsCheck->isChecked() ? 1 : 0;
        QString message;
        QVariant r;
        ctx_.runner.run([&] {
            r = ctx_.link.CheckData(address, ctx_.appFolder, RawFileName, message, 3, decimal, fullYear,
                                    QStringLiteral("2008/3/7 10:10"), 20);
        });
        const qint64 verdict = LinkResult::toWhole(r);
        if (verdict == 0) {
            w.setStatusText(QStringLiteral("数据合法！"));
        } else if (verdict >= 1 && verdict <= 4) {
            w.setStatusText(QStringLiteral("数据非法，") + message);
        } else {
            // The operator reads the box with the ordinary pointer.
            pointer.restore();
            ctx_.op.message(message, OperatorInterface::Buttons::Ok, OperatorInterface::Icon::None);
        }
    });
}
