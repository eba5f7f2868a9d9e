#include "support/SimConsole.h"

#include "attlink/AttLinkComponent.h"
#include "support/SimProcess.h"
#include "ui/LinkCallRunner.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>

SimConsole::SimConsole(const SimProcess &s, bool loadNow) : sim(s)
{
    QDir().mkpath(appFolder());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path() + QStringLiteral("/settings"));
    {
        QSettings ini(appFile(QStringLiteral("AttLink.ini")), QSettings::IniFormat);
        ini.setValue(QStringLiteral("Ports/Com2"),
                     sim.ptyPath().isEmpty() ? dir.path() + QStringLiteral("/no-such-port") : sim.ptyPath());
        ini.setValue(QStringLiteral("Link/ResponseTimeout"), 700);
        ini.setValue(QStringLiteral("Link/InterByteTimeout"), 300);
        ini.setValue(QStringLiteral("Link/Retries"), 2);
        ini.setValue(QStringLiteral("Link/ConnectTimeout"), 1000);
    }
    DeviceLinkFactory factory;
    const QString folder = appFolder();
    factory.registerComponent(DeviceLinkFactory::ProgId, [folder] { return createAttLink(folder); });
    console = std::make_unique<Console>(factory, op, appFolder(), std::make_unique<DirectLinkCallRunner>());
    console->setExitHandler([] {});
    if (loadNow) load();
}

SimConsole::~SimConsole() = default;

void SimConsole::load() { console->load(); }

bool SimConsole::useTcp()
{
    w().optTcp->click();
    w().txtIP->setText(sim.host());
    w().txtTcpPort->setText(QString::number(sim.port()));
    if (w().cmdConnectNet->text() != QStringLiteral("连接考勤机")) w().cmdConnectNet->click();  // disconnect first
    w().cmdConnectNet->click();
    return w().lblTcpState->text() == QStringLiteral("连接成功！");
}

void SimConsole::useSerial() { w().optCom->click(); }
