#include "support/WindowFixture.h"

#include "ui/LinkCallRunner.h"

#include <QDir>
#include <QSettings>

WindowFixture::WindowFixture(bool loadNow) : WindowFixture(op, std::make_unique<DirectLinkCallRunner>(), loadNow) {}

WindowFixture::WindowFixture(OperatorInterface &person, std::unique_ptr<LinkCallRunner> runner)
    : WindowFixture(person, std::move(runner), true)
{
}

WindowFixture::WindowFixture(OperatorInterface &person, std::unique_ptr<LinkCallRunner> runner, bool loadNow)
{
    QDir().mkpath(appFolder());
    // Settings live under the test's own folder, never the user's.
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path() + QStringLiteral("/settings"));
    DeviceLinkFactory factory;
    factory.registerComponent(DeviceLinkFactory::ProgId, [this] {
        auto fake = std::make_unique<FakeDeviceLink>();
        link = fake.get();
        return fake;
    });
    console = std::make_unique<Console>(factory, person, appFolder(), std::move(runner));
    console->setExitHandler([] {});
    if (loadNow) load();
}

WindowFixture::~WindowFixture() = default;

void WindowFixture::load() { console->load(); }
