#pragma once

#include "ui/CommandContext.h"

// The terminal's address (Command16), menu password (Command30, Command31) and storage mode
// (cmdGetStorage, cmdSetStorage_1).
class TerminalCommands {
public:
    explicit TerminalCommands(const CommandContext &context) : ctx_(context) {}

    void command16();
    void command30();
    void command31();
    void cmdGetStorage();
    void cmdSetStorage_1();

private:
    CommandContext ctx_;
};
