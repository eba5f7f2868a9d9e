#include "app/ConsoleMain.h"

#include "app/Console.h"
#include "app/SignalCloser.h"
#include "link/LinkError.h"
#include "ui/FrmZevo.h"
#include "ui/LinkCallRunner.h"
#include "ui/OperatorInterface.h"

int runConsole(const DeviceLinkFactory &factory, OperatorInterface &op, const QString &appFolder,
               std::unique_ptr<LinkCallRunner> runner, const std::function<int()> &eventLoop)
{
    std::unique_ptr<Console> console;
    try {
        console = std::make_unique<Console>(factory, op, appFolder, std::move(runner));
    } catch (const RaisedError &e) {
        op.message(QStringLiteral("无法创建考勤机动态链接库部件，程序将退出。\n") + e.report(),
                   OperatorInterface::Buttons::Ok, OperatorInterface::Icon::Critical, QString());
        return 1;
    }
    console->load();
    SignalCloser closer(console->window());
    console->window().show();
    return eventLoop();
}
