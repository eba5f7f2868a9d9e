#pragma once

#include "link/DeviceLinkFactory.h"
#include "ui/CommandContext.h"

#include <QString>
#include <functional>
#include <memory>

class ConfigCommands;
class ConnectionCommands;
class FrmZevo;
class LinkCallRunner;
class OperatorInterface;
class RecordCommands;
class RosterCommands;
class SettingsStore;

// The running console: the device link created by ProgID, the window, and every subsystem's commands
// wired to it. load() runs the start-up steps that follow the device link's creation; the window's
// close box runs the saving shut-down; Cmd_Exit ends without saving.
class Console {
public:
    // Creates the device link (throws LinkError 429 when it cannot be created), the window and the
    // commands. appFolder: the folder of Public.Sys and of the files the commands write.
    Console(const DeviceLinkFactory &factory, OperatorInterface &op, const QString &appFolder,
            std::unique_ptr<LinkCallRunner> runner);
    ~Console();

    void load();

    FrmZevo &window() { return *window_; }
    DeviceLink &link() { return *link_; }
    CommandContext context();
    SettingsStore &settings() { return *settings_; }

    // The close box's shut-down: saves the connection settings and Public.Sys.
    void unload();
    // Cmd_Exit: releases the device link and ends at once, saving nothing.
    void exitWithoutSaving();
    bool exited() const { return exited_; }
    bool linkReleased() const { return !link_; }
    // What ending the program means; QCoreApplication::exit(0) unless set (tests keep the process).
    void setExitHandler(std::function<void()> handler) { exitHandler_ = std::move(handler); }

private:
    QString appFolder_;
    OperatorInterface &op_;
    std::unique_ptr<DeviceLink> link_;
    std::unique_ptr<LinkCallRunner> runner_;
    std::unique_ptr<SettingsStore> settings_;
    std::unique_ptr<FrmZevo> window_;
    std::unique_ptr<ConnectionCommands> connection_;
    std::unique_ptr<RecordCommands> records_;
    std::unique_ptr<RosterCommands> roster_;
    std::unique_ptr<ConfigCommands> config_;
    std::function<void()> exitHandler_;
    bool exited_ = false;
};
