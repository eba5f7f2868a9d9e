#include "app/ConsoleMain.h"
#include "app/DesktopOperator.h"
#include "app/ProgramOptions.h"
#include "attlink/AttLinkComponent.h"
#include "common/AppFolders.h"
#include "link/DeviceLinkFactory.h"
#include "ui/ThreadedLinkCallRunner.h"

#include <QApplication>

int main(int argc, char **argv)
{
    // Answered before the application object, which needs a display.
    if (const auto status = answerWithoutWindow(argc, argv, ZEVO_VERSION)) return *status;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zevo"));
    const AppFolders folders = AppFolders::resolve(QCoreApplication::applicationDirPath());
    const QString appFolder = folders.data;

    DeviceLinkFactory factory;
    factory.registerComponent(DeviceLinkFactory::ProgId, [config = folders.config] { return createAttLink(config); });
    DesktopOperator op;
    // Device-link calls run off the window's thread, so a long collection leaves the window painting.
    return runConsole(factory, op, appFolder, std::make_unique<ThreadedLinkCallRunner>(),
                      [] { return QApplication::exec(); });
}
