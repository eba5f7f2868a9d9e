#pragma once

#include "ui/CommandContext.h"

#include <QObject>

// Connects the roster buttons of the window to their commands.
class RosterCommands : public QObject {
    Q_OBJECT
public:
    explicit RosterCommands(const CommandContext &context, QObject *parent = nullptr);

private:
    CommandContext ctx_;
};
