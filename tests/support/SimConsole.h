#pragma once

#include "app/Console.h"
#include "support/ScriptedOperator.h"
#include "ui/FrmZevo.h"

#include <QTemporaryDir>
#include <memory>

class SimProcess;

// A console on the REAL device link (createAttLink) and the scripted operator, with its own
// application folder and settings location, talking to a running attsim:
//
//   SimProcess sim({"--terminal", "18", "--records", "5"}, SimProcess::WithPty);
//   QVERIFY(sim.start());
//   SimConsole c(sim);                 // start-up selects Com2, which AttLink.ini maps to sim's pty
//   c.w().Command4->click();           // collect over the pty
//   QVERIFY(c.useTcp());               // or switch to TCP as an operator does, then click away
//
// The application folder holds AttLink.ini with [Ports] Com2 = the simulator's pty (a path that does
// not exist when the simulator has none) and short timeouts, so a failure shows within a second or
// two. Device-link calls run on the test's thread.
struct SimConsole {
    explicit SimConsole(const SimProcess &sim, bool loadNow = true);
    ~SimConsole();

    // loadNow = false lets a test add settings, Public.Sys or AttLink.ini keys before start-up.
    void load();
    // Clicks optTcp, types the simulator's host and port into txtIP and txtTcpPort and clicks
    // cmdConnectNet; true when lblTcpState then reads "连接成功！".
    bool useTcp();
    // Clicks optCom (back to the serial line).
    void useSerial();

    QString appFolder() const { return dir.path() + QStringLiteral("/app"); }
    QString appFile(const QString &name) const { return appFolder() + QLatin1Char('/') + name; }
    FrmZevo &w() { return console->window(); }
    DeviceLink &link() { return console->link(); }

    const SimProcess &sim;
    QTemporaryDir dir;
    ScriptedOperator op;
    std::unique_ptr<Console> console;
};
