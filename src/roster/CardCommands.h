#pragma once

#include "ui/CommandContext.h"

#include <QString>
#include <optional>

// One card at a time: read the number of the card held to the terminal, issue it with a job number
// and a name, withdraw it, look it up. TxtCardNum carries the number read into the three others.
class CardCommands {
public:
    explicit CardCommands(const CommandContext &context) : ctx_(context) {}

    void readCard();  // Command7 "读卡号"
    void issue();     // Command14 "发卡"
    void withdraw();  // Command15 "退卡"
    void find();      // Command22 "查找发卡记录"

private:
    // Normalises TxtNo to its 8-character form; false (after telling the operator) when there is none.
    bool checkJobNo();
    // The name of TxtNewAddr when it fits the terminal's name field; otherwise tells the operator.
    std::optional<QString> checkedName();
    // TxtAddress as a 16-bit integer; a text that is not one is refused with the address prompt.
    std::optional<qint16> address();
    // TxtCardNum holds exactly 10 characters.
    bool cardNumberComplete() const;

    CommandContext ctx_;
};
