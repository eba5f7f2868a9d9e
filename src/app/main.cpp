#include "app/ConsoleMain.h"
#include "app/DesktopOperator.h"
#include "attlink/AttLinkComponent.h"
#include "link/DeviceLinkFactory.h"
#include "ui/LinkCallRunner.h"

#include <QApplication>

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zevo"));
    const QString appFolder = QCoreApplication::applicationDirPath();

    DeviceLinkFactory factory;
    factory.registerComponent(DeviceLinkFactory::ProgId, [appFolder] { return createAttLink(appFolder); });
    DesktopOperator op;
    return runConsole(factory, op, appFolder, std::make_unique<DirectLinkCallRunner>(), [] { return QApplication::exec(); });
}
