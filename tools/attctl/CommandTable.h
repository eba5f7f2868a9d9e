#pragma once

#include "attctl/Args.h"

#include <QTextStream>
#include <QVariant>
#include <functional>
#include <vector>

class AttLink;
class ClientResult;

// What a command works with: the link (null for commands that need no terminal), the terminal
// address, and the two output streams.
struct CliContext {
    AttLink *link = nullptr;
    int address = 0;
    QTextStream &out;
    QTextStream &err;

    QString addressText() const { return QString::number(address); }
    qint16 address16() const { return qint16(address); }

    // The exit status for an operation of the contract that gave a false result, with its one-line
    // reason on err, taken from the link's last result: LocalWrite when a file could not be written,
    // else as the result says (below).
    int failed(const QString &what, const QString &message = {}) const;
    // The exit status for a failed result of the client: Usage when nothing was sent (an argument
    // the link refused), Communication when the terminal gave no usable reply, otherwise Refused.
    int failed(const QString &what, const ClientResult &result, const QString &message = {}) const;
    // A call that answers only yes or no: "ok" on standard output, else failed().
    int answered(const QString &what, const QVariant &result) const;
};

struct CommandEntry {
    QString name;
    QString synopsis;  // arguments, for --help
    QString summary;   // one line, for --help
    bool needsTerminal = true;
    std::function<int(CliContext &, Args &)> run;
    // A command over a fleet file and a database rather than one terminal: --help lists it apart.
    bool fleet = false;
    // What COMMAND --help shows below the usage and the summary (options, keys, examples), lines
    // already under 80 columns; empty for commands whose line says it all.
    QString details = {};
};

// Every command, in the order --help lists them.
std::vector<CommandEntry> commandTable();
const CommandEntry *findCommand(const std::vector<CommandEntry> &table, const QString &name);

// The groups of the table, one file each (Cli*Commands.cpp where the console has a file of the same
// group, SyncCommands.cpp, PortCommands.cpp).
void addCollectCommands(std::vector<CommandEntry> &table);
void addRecordCommands(std::vector<CommandEntry> &table);
void addRosterCommands(std::vector<CommandEntry> &table);
void addConfigCommands(std::vector<CommandEntry> &table);
void addSyncCommands(std::vector<CommandEntry> &table);
void addReportCommands(std::vector<CommandEntry> &table);
void addPushCommands(std::vector<CommandEntry> &table);
void addHealthCommands(std::vector<CommandEntry> &table);
void addServeCommand(std::vector<CommandEntry> &table);
void addFleetRosterCommands(std::vector<CommandEntry> &table);
void addPortCommands(std::vector<CommandEntry> &table);
// The long help of the fleet commands (sync, export, roster plan/apply/pull), and their place in
// attctl --help.
void addFleetHelp(std::vector<CommandEntry> &table);
