#pragma once

#include "roster/CardCommands.h"
#include "roster/RosterListCommands.h"
#include "ui/CommandContext.h"

#include <QObject>

// Connects the roster and card buttons of the window to their commands.
class RosterCommands : public QObject {
    Q_OBJECT
public:
    explicit RosterCommands(const CommandContext &context, QObject *parent = nullptr);

private:
    RosterListCommands list_;
    CardCommands cards_;
};
