#pragma once

#include "records/CollectCommands.h"
#include "ui/CommandContext.h"

#include <QObject>

// Connects the records buttons of the window to their commands.
class RecordCommands : public QObject {
    Q_OBJECT
public:
    explicit RecordCommands(const CommandContext &context, QObject *parent = nullptr);

    CollectCommands collect;

private:
    CommandContext ctx_;
};
