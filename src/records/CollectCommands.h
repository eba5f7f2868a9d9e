#pragma once

#include "ui/CommandContext.h"

#include <QString>
#include <functional>

// "采集数据" (Command4) and "采集数据_All" (Command2): the device link writes the raw record file,
// then every raw line is converted into the layout of the record-format panel.
class CollectCommands {
public:
    explicit CollectCommands(const CommandContext &context) : ctx_(context) {}

    void command4();
    void command2();

private:
    using GatherCall = std::function<QVariant(const QString &address, QString &message, qint32 &count, bool &fullYear)>;
    // Steps shared by both collections; raises what the call or the files raise.
    void collect(const GatherCall &gather);
    void convertRawFile();

    CommandContext ctx_;
};
