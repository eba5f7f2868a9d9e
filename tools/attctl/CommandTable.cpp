#include "attctl/CommandTable.h"

#include "attlink/AttLink.h"
#include "link/LinkResult.h"

#include <cstring>

namespace {
// Why the last request got no valid reply, in attctl's words.
QString communicationFailure(const Exchange &x)
{
    switch (x.lastFailure) {
    case Exchange::Failure::NoAnswer: return QStringLiteral("the terminal did not answer");
    case Exchange::Failure::Damaged: return QStringLiteral("the terminal's replies arrived damaged (checksum errors)");
    case Exchange::Failure::CutShort: return QStringLiteral("the terminal's reply was cut short");
    case Exchange::Failure::Invalid: return QStringLiteral("the terminal's reply was not valid");
    case Exchange::Failure::TooSlow:
        return QStringLiteral("the terminal's reply did not complete in time (%1 ms)").arg(x.lastDeadlineMs);
    case Exchange::Failure::Disconnected: return QStringLiteral("the connection was closed");
    case Exchange::Failure::Abandoned: return QStringLiteral("the exchange was abandoned");
    case Exchange::Failure::NotOpen: return QStringLiteral("the line is not open");
    case Exchange::Failure::TooLong: return QStringLiteral("the request is too long");
    case Exchange::Failure::LineFailed:
    case Exchange::Failure::None: break;
    }
    return QStringLiteral("the line failed");
}
}  // namespace

int CommandContext::answered(const QString &what, qint64 requestsBefore, const QVariant &result) const
{
    if (!LinkResult::toBool(result)) return failed(what, requestsBefore);
    out << "ok" << Qt::endl;
    return ExitCode::Success;
}

int CommandContext::failed(const QString &what, qint64 requestsBefore, const QString &message) const
{
    const Exchange &x = link->exchangeStats();
    if (link->lastFileError() != 0) {
        err << "attctl: " << what << ": cannot write " << link->lastFileErrorPath() << ": "
            << QString::fromLocal8Bit(strerror(link->lastFileError())) << " (the earlier file is kept)" << Qt::endl;
        return ExitCode::LocalWrite;
    }
    const QString detail = message.isEmpty() ? QString() : QStringLiteral(": ") + message;
    if (x.requests == requestsBefore) {
        err << "attctl: " << what << " refused by the device link (an argument is not valid)" << detail << Qt::endl;
        return ExitCode::Usage;
    }
    if (!x.lastAnswered) {
        err << "attctl: " << what << " failed, " << communicationFailure(x) << Qt::endl;
        return ExitCode::Communication;
    }
    err << "attctl: " << what << " failed, the terminal reported failure" << detail << Qt::endl;
    return ExitCode::Refused;
}

qint64 CommandContext::requests() const { return link ? link->exchangeStats().requests : 0; }

namespace {

std::vector<CommandEntry> buildTable()
{
    std::vector<CommandEntry> table;
    table.push_back({QStringLiteral("version"), QString(), QStringLiteral("the device link's version (Ver)"), false,
                     [](CommandContext &c, Args &a) {
                         a.finish();
                         c.out << c.link->Ver().toString() << Qt::endl;
                         return int(ExitCode::Success);
                     }});
    table.push_back({QStringLiteral("tcp-state"), QString(),
                     QStringLiteral("the TCP connection state 0..9 (tcpstate); 7 is connected"), true,
                     [](CommandContext &c, Args &a) {
                         a.finish();
                         c.out << c.link->tcpstate().toInt() << Qt::endl;
                         return int(ExitCode::Success);
                     }});
    addCollectCommands(table);
    addRecordCommands(table);
    addRosterCommands(table);
    addConfigCommands(table);
    addSyncCommands(table);
    addPortCommands(table);
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
