#pragma once

#include "config/ParameterWords.h"
#include "ui/CommandContext.h"

// System parameters: the three writes (Cmd_Delay, Command13, Command23) and the read (Command24).
class ParameterCommands {
public:
    explicit ParameterCommands(const CommandContext &context) : ctx_(context) {}

    void cmdDelay();
    void command13();
    void command23();
    void command24();

private:
    struct Write {
        ParameterWords::Mode mode;
        bool clearsStatus;
        bool punchLimit;
        QString successText, failureText;
    };
    void writeParameters(const Write &write);

    CommandContext ctx_;
};
