#pragma once

#include "attctl/Connection.h"
#include "attlink/protocol/Commands.h"

#include <QString>
#include <QStringList>

// attctl's command line: the global options, then the command and its own arguments, which are
// left to the command (an option after the command name belongs to the command).
struct Invocation {
    ConnectionOptions connection;
    int address = DefaultTerminalAddress;
    bool help = false;
    bool version = false;
    bool trace = false;    // zevo.link.wire
    bool verbose = false;  // zevo.link and zevo.sync
    QString command;
    QStringList args;
};

namespace CommandLine {

// The global options of `arguments` (argv without the program name). Throws UsageError naming the
// option and the form it expects.
Invocation parse(const QStringList &arguments);

// The help text of the global options, as the parser prints it.
QString optionsHelp();

}  // namespace CommandLine
