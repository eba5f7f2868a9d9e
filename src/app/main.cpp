#include "app/ConsoleMain.h"
#include "app/DesktopOperator.h"
#include "attlink/AttLinkComponent.h"
#include "link/DeviceLinkFactory.h"
#include "ui/ThreadedLinkCallRunner.h"

#include <QApplication>

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zevo"));
    const QString appFolder = QCoreApplication::applicationDirPath();

    DeviceLinkFactory factory;
    factory.registerComponent(DeviceLinkFactory::ProgId, [appFolder] { return createAttLink(appFolder); });
    DesktopOperator op;
    // Device-link calls run off the window's thread, so a long collection leaves the window painting.
    return runConsole(factory, op, appFolder, std::make_unique<ThreadedLinkCallRunner>(),
                      [] { return QApplication::exec(); });
}
