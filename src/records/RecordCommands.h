#pragma once

#include "records/CheckCommands.h"
#include "records/CollectCommands.h"
#include "records/CountCommands.h"
#include "records/FlagCommands.h"
#include "records/LogCommands.h"
#include "records/SendRecordsPanel.h"
#include "ui/CommandContext.h"

#include <QObject>

// Connects the records buttons of the window to their commands.
class RecordCommands : public QObject {
    Q_OBJECT
public:
    explicit RecordCommands(const CommandContext &context, QObject *parent = nullptr);

    CollectCommands collect;
    CountCommands counts;
    FlagCommands flags;
    CheckCommands check;
    SendRecordsPanel panel;
    LogCommands logs;

private:
    CommandContext ctx_;
};
