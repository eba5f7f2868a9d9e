#pragma once

#include "ui/CommandContext.h"

// "校验数据" (cmdCheckData): the device link checks the raw record file and gives its verdict.
class CheckCommands {
public:
    explicit CheckCommands(const CommandContext &context) : ctx_(context) {}

    void cmdCheckData();

private:
    CommandContext ctx_;
};
