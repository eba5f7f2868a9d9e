#pragma once

#include "ui/CommandContext.h"

#include <QObject>

// Connects the config buttons of the window to their commands.
class ConfigCommands : public QObject {
    Q_OBJECT
public:
    explicit ConfigCommands(const CommandContext &context, QObject *parent = nullptr);

private:
    CommandContext ctx_;
};
