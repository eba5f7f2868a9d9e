#pragma once

#include "ui/CommandContext.h"

// "清除考勤记录" (Command11), "清卡标志" (Command8) and "读标志" (Command9): each checks the terminal
// address first and calls the device link with it as a number.
class FlagCommands {
public:
    explicit FlagCommands(const CommandContext &context) : ctx_(context) {}

    void command11();
    void command8();
    void command9();

private:
    CommandContext ctx_;
};
