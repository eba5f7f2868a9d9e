#pragma once

#include "config/ClockCommands.h"
#include "config/DisplayCommands.h"
#include "config/ParameterCommands.h"
#include "config/TerminalCommands.h"
#include "ui/CommandContext.h"

#include <QObject>
#include <functional>

class QPushButton;

// Connects the config buttons and the alarm-grid validators of the window to their commands. An
// error raised while a command runs is shown as "number:description"; the window stays usable.
class ConfigCommands : public QObject {
    Q_OBJECT
public:
    explicit ConfigCommands(const CommandContext &context, QObject *parent = nullptr);

    ClockCommands clock;
    ParameterCommands parameters;
    TerminalCommands terminal;
    DisplayCommands display;

private:
    void on(QPushButton *button, std::function<void()> command);

    CommandContext ctx_;
};
