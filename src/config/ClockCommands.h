#pragma once

#include "ui/CommandContext.h"

// The terminal's clock (Command12) and its alarm schedule (CmdSetClock), with the checks of the
// alarm grid TxtHour(i) / TxtMin(i).
class ClockCommands {
public:
    explicit ClockCommands(const CommandContext &context) : ctx_(context) {}

    void command12();
    void cmdSetClock();

    // Validation of grid box i; false keeps the focus in the box.
    bool txtHourValidate(int i);
    bool txtMinValidate(int i);

private:
    CommandContext ctx_;
};
