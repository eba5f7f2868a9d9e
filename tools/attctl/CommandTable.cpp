#include "attctl/CommandTable.h"

#include "attlink/AttLink.h"
#include "common/VisibleText.h"
#include "link/LinkResult.h"

#include <cstring>

int CliContext::answered(const QString &what, qint64 requestsBefore, const QVariant &result) const
{
    if (!LinkResult::toBool(result)) return failed(what, requestsBefore);
    out << "ok" << Qt::endl;
    return ExitCode::Success;
}

int CliContext::failed(const QString &what, qint64 requestsBefore, const QString &message) const
{
    const Exchange &x = link->exchangeStats();
    if (link->lastFileError() != 0) {
        err << "attctl: " << what << ": cannot write " << link->lastFileErrorPath() << ": "
            << QString::fromLocal8Bit(strerror(link->lastFileError())) << " (the earlier file is kept)" << Qt::endl;
        return ExitCode::LocalWrite;
    }
    const QString detail = message.isEmpty() ? QString() : QStringLiteral(": ") + visibleText(message);
    if (x.requests == requestsBefore) {
        err << "attctl: " << what << " refused by the device link (an argument is not valid)" << detail << Qt::endl;
        return ExitCode::Usage;
    }
    if (!x.lastAnswered) {
        err << "attctl: " << what << " failed, " << Exchange::failureText(x.lastFailure, x.lastDeadlineMs) << Qt::endl;
        return ExitCode::Communication;
    }
    err << "attctl: " << what << " failed, the terminal reported failure" << detail << Qt::endl;
    return ExitCode::Refused;
}

qint64 CliContext::requests() const { return link ? link->exchangeStats().requests : 0; }

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
    addHealthCommands(table);
    addServeCommand(table);
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
