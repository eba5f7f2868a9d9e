#pragma once

#include "ui/CommandContext.h"

// "读打卡记录数" (Command5): the terminal's record count in Label; "浏览采集数据" (Command1(8)): the
// formatted record file in the desktop's text viewer.
class CountCommands {
public:
    explicit CountCommands(const CommandContext &context) : ctx_(context) {}

    void command5();
    void command1_8();

private:
    CommandContext ctx_;
};
