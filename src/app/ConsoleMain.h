#pragma once

#include <QString>
#include <functional>
#include <memory>

class DeviceLinkFactory;
class LinkCallRunner;
class OperatorInterface;

// The program from its start to its end, apart from the application object: creates the console (when
// the device link cannot be created, says so in a message box and returns 1 without showing the
// window), runs the start-up, lets SIGTERM and SIGINT close the window as the close box does, shows
// the window and runs the event loop, whose status it returns.
// runner: how the commands make their device-link calls.
int runConsole(const DeviceLinkFactory &factory, OperatorInterface &op, const QString &appFolder,
               std::unique_ptr<LinkCallRunner> runner, const std::function<int()> &eventLoop);
