#pragma once

#include "app/Console.h"
#include "support/FakeDeviceLink.h"
#include "support/ScriptedOperator.h"
#include "ui/FrmZevo.h"

#include <QTemporaryDir>
#include <memory>

// A console on the scripted device link and the scripted operator, with its own application folder
// and its own settings location (never the user's). The commands run their device-link calls
// directly on the test's thread.
struct WindowFixture {
    // loadNow = false lets a test prepare settings, Public.Sys or scripts before start-up.
    explicit WindowFixture(bool loadNow = true);
    ~WindowFixture();

    void load();
    QString appFolder() const { return dir.path() + QStringLiteral("/app"); }
    QString appFile(const QString &name) const { return appFolder() + QLatin1Char('/') + name; }

    FrmZevo &w() { return console->window(); }

    QTemporaryDir dir;
    ScriptedOperator op;
    FakeDeviceLink *link = nullptr;  // owned by the console
    std::unique_ptr<Console> console;
};
