#pragma once

#include "app/Console.h"
#include "support/FakeDeviceLink.h"
#include "support/ScriptedOperator.h"
#include "ui/FrmZevo.h"

#include <QTemporaryDir>
#include <memory>

class LinkCallRunner;

// A console on the scripted device link and the scripted operator, with its own application folder
// and its own settings location (never the user's). The commands run their device-link calls
// directly on the test's thread.
struct WindowFixture {
    // loadNow = false lets a test prepare settings, Public.Sys or scripts before start-up.
    explicit WindowFixture(bool loadNow = true);
    // The console as main() builds it: answered by `person` (a DesktopOperator shows real boxes and
    // dialogs) and calling through `runner` (a ThreadedLinkCallRunner keeps the window's events going).
    WindowFixture(OperatorInterface &person, std::unique_ptr<LinkCallRunner> runner);
    ~WindowFixture();

    void load();
    QString appFolder() const { return dir.path() + QStringLiteral("/app"); }
    QString appFile(const QString &name) const { return appFolder() + QLatin1Char('/') + name; }

    FrmZevo &w() { return console->window(); }

private:
    WindowFixture(OperatorInterface &person, std::unique_ptr<LinkCallRunner> runner, bool loadNow);

public:
    QTemporaryDir dir;
    ScriptedOperator op;             // the operator unless the test gives its own
    FakeDeviceLink *link = nullptr;  // owned by the console
    std::unique_ptr<Console> console;
};
