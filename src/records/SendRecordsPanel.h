#pragma once

#include "ui/CommandContext.h"

// The send-records panel Picture1: "下传打卡数据" (Command17) opens it, "返回" (Command20) closes it;
// "发单条数据" (Command21) sends the record typed into Text1; "读入数据" (Command18) loads record lines
// into List1, "全选" / "全清" (Label9 / Label13) mark and unmark them, and "发多条数据" (Command19) sends
// every marked line, unmarking those the terminal accepted.
class SendRecordsPanel {
public:
    explicit SendRecordsPanel(const CommandContext &context) : ctx_(context) {}

    void command17();
    void command20();
    void command21();
    void command18();
    void label9();
    void label13();
    void command19();

private:
    CommandContext ctx_;
};
