#include "attctl/CommandTable.h"

#include "attlink/AttLink.h"
#include "common/VisibleText.h"
#include "link/LinkResult.h"

#include <cstring>

int CliContext::answered(const QString &what, const QVariant &result) const
{
    if (!LinkResult::toBool(result)) return failed(what);
    out << "ok" << Qt::endl;
    return ExitCode::Success;
}

int CliContext::failed(const QString &what, const QString &message) const
{
    if (link->lastFileError() != 0) {
        err << "attctl: " << what << ": cannot write " << link->lastFileErrorPath() << ": "
            << QString::fromLocal8Bit(strerror(link->lastFileError())) << " (the earlier file is kept)" << Qt::endl;
        return ExitCode::LocalWrite;
    }
    return failed(what, link->lastResult(), message);
}

int CliContext::failed(const QString &what, const ClientResult &result, const QString &message) const
{
    const QString detail = message.isEmpty() ? QString() : QStringLiteral(": ") + visibleText(message);
    // A false result the client did not fail: the link refused the arguments before sending.
    if (result.ok() || result.error() == LinkFailure::BadArgument) {
        err << "attctl: " << what << " refused by the device link (an argument is not valid)" << detail << Qt::endl;
        return ExitCode::Usage;
    }
    if (!LinkFailures::answered(result.error())) {
        err << "attctl: " << what << " failed, " << LinkFailures::text(result.error(), result.deadlineMs()) << Qt::endl;
        return ExitCode::Communication;
    }
    err << "attctl: " << what << " failed, the terminal reported failure" << detail << Qt::endl;
    return ExitCode::Refused;
}

namespace {

std::vector<CommandEntry> buildTable()
{
    std::vector<CommandEntry> table;
    table.push_back({QStringLiteral("version"), QString(), QStringLiteral("the version of attctl's device link"), false,
                     [](CliContext &c, Args &a) {
                         a.finish();
                         c.out << c.link->Ver().toString() << Qt::endl;
                         return int(ExitCode::Success);
                     }});
    table.push_back({QStringLiteral("tcp-state"), QString(),
                     QStringLiteral("the state 0..9 of the TCP connection; 7 is connected"), true,
                     [](CliContext &c, Args &a) {
                         a.finish();
                         c.out << c.link->tcpstate().toInt() << Qt::endl;
                         return int(ExitCode::Success);
                     }});
    addCollectCommands(table);
    addRecordCommands(table);
    addRosterCommands(table);
    addConfigCommands(table);
    addSyncCommands(table);
    addReportCommands(table);
    addPushCommands(table);
    addHealthCommands(table);
    addServeCommand(table);
    addFleetRosterCommands(table);
    addPortCommands(table);
    addFleetHelp(table);
    return table;
}

}  // namespace

std::vector<CommandEntry> commandTable() { return buildTable(); }

const CommandEntry *findCommand(const std::vector<CommandEntry> &table, const QString &name)
{
    for (const CommandEntry &c : table)
        if (c.name == name) return &c;
    return nullptr;
}
