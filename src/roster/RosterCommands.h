#pragma once

#include "ui/CommandContext.h"

#include <QObject>

// Connects the roster and card buttons of the window to their commands.
class RosterCommands : public QObject {
    Q_OBJECT
public:
    explicit RosterCommands(const CommandContext &context, QObject *parent = nullptr);

    // Bytes of GB18030 the terminal's name field holds; a longer name is refused, never cut.
    static constexpr int NameFieldBytes = 12;

    void collect();       // Cmd_GetNameList
    void collectRange();  // Cmd_GetNameList_All
    void browse();        // Command3
    void count();         // Command6
    void clear();         // Command10
    void readCard();      // Command7
    void issue();         // Command14
    void withdraw();      // Command15
    void find();          // Command22

private:
    bool checkJobNo();
    void reportError(const QString &text);
    CommandContext ctx_;
};
