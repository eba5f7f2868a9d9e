#pragma once

#include "ui/CommandContext.h"

#include <QString>

// "采集清除日志" (cmdReadClearLog) and "采集校时日志" (Command25): one of the terminal's two logs,
// shown in a message box with one entry a line.
class LogCommands {
public:
    explicit LogCommands(const CommandContext &context) : ctx_(context) {}

    void cmdReadClearLog();
    void command25();

    // What differs between the two logs.
    struct Log {
        bool clearLog;     // ReadClearLog, else ReadChangeTimeLog
        QString comma;     // put in place of every ","
        QString heading;   // above the entries when the read succeeded
        QString failure;   // when it did not
        QString firmware;  // the note under the failure
    };
    static const Log ClearLog;
    static const Log ChangeTimeLog;

    // The log text as shown: ";" ends an entry's line, then every "," becomes the log's comma text.
    static QString shownLog(const QString &log, const QString &comma);

private:
    void read(const Log &log);

    CommandContext ctx_;
};
