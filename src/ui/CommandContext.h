#pragma once

#include <QString>

class DeviceLink;
class FrmZevo;
class LinkCallRunner;
class OperatorInterface;

// What every subsystem's commands are handed: the window's controls, the device link, the runner
// through which every device-link call goes, the operator, and the application folder (no trailing
// separator).
struct CommandContext {
    FrmZevo &window;
    DeviceLink &link;
    LinkCallRunner &runner;
    OperatorInterface &op;
    QString appFolder;
};
