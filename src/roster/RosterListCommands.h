#pragma once

#include "ui/CommandContext.h"

#include <QString>
#include <functional>

// The roster as a whole: collecting it into NameList.txt (all of it, or a range of packets), opening
// that file in the text viewer, reading the terminal's roster count and clearing the roster.
class RosterListCommands {
public:
    explicit RosterListCommands(const CommandContext &context) : ctx_(context) {}

    static inline const QString RosterFile = QStringLiteral("NameList.txt");

    void collect();       // Cmd_GetNameList "采集发卡名单"
    void collectRange();  // Cmd_GetNameList_All "采集名单_All"
    void browse();        // Command3 "浏览发卡名单"
    void count();         // Command6 "读发卡记录数"
    void clear();         // Command10 "清除发卡名单"

private:
    // The device-link call of a collection, given the controls read in their order.
    using GatherCall = std::function<QVariant(const QString &address, const QString &sleepDate, qint16 decimalCards,
                                              QString &message, qint32 &count)>;
    // Waiting text, busy pointer and progress for the call, then its outcome in the status text.
    // Raises what the call raises, with the pointer already restored.
    void gather(const GatherCall &call);

    CommandContext ctx_;
};
