#include "support/WindowFixture.h"

#include "ui/LinkCallRunner.h"

#include <QDir>
#include <QSettings>

WindowFixture::WindowFixture(bool loadNow) {
    QDir().mkpath(appFolder());
    // Settings live under the test's own folder, never the user's.
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path() + QStringLiteral("/settings"));
    DeviceLinkFactory factory;
    factory.registerComponent(DeviceLinkFactory::ProgId, [this] {
        auto fake = std::make_unique<FakeDeviceLink>();
        link = fake.get();
        return fake;
    });
    console = std::make_unique<Console>(factory, op, appFolder(), std::make_unique<DirectLinkCallRunner>());
    console->setExitHandler([] {});
    if (loadNow) load();
}

WindowFixture::~WindowFixture() = default;

void WindowFixture::load() { console->load(); }
