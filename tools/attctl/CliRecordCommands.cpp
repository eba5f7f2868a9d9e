// Attendance records: format, count, clear flags, check, send back, logs.
#include "attctl/ArgumentForms.h"
#include "attctl/CommandTable.h"
#include "common/VisibleText.h"
#include "layout/LayoutText.h"
#include "attctl/RecordFiles.h"
#include "attctl/RecordOptions.h"

#include "attlink/AttLink.h"
#include "link/LinkResult.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QString RawName = QString::fromLatin1(RecordFiles::RawName);
const QString FormattedName = QString::fromLatin1(RecordFiles::FormattedName);

int writeFormatted(CliContext &c, const QString &rawPath, const RecordOptions::Destination &to,
                   const RecordLayout &layout, qint64 *lines = nullptr)
{
    c.out.flush();
    const RecordFiles::Result r =
        RecordFiles::format(rawPath, to.toStdout ? QString() : QDir(to.folder).filePath(FormattedName), layout);
    if (!r.ok) {
        c.err << "attctl: " << r.error << Qt::endl;
        return r.writeFailed ? ExitCode::LocalWrite : ExitCode::Usage;
    }
    if (lines) *lines = r.lines;
    return ExitCode::Success;
}

int formatCommand(CliContext &c, Args &a)
{
    const RecordOptions::Destination target = RecordOptions::destination(a);
    const bool decimal = a.flag(QStringLiteral("--decimal"));
    const bool fullYear = a.flag(QStringLiteral("--full-year"));
    const RecordLayout layout = RecordOptions::layout(a.value(QStringLiteral("--layout")), decimal, fullYear);
    const QString raw = a.positional(QStringLiteral("the raw record file"));
    a.finish();
    if (!QFileInfo(raw).isFile()) throw UsageError{QStringLiteral("no raw record file ") + raw};
    if (!target.toStdout) RecordOptions::folder(target.folder);
    qint64 lines = 0;
    const int code = writeFormatted(c, raw, target, layout, &lines);
    if (code == ExitCode::Success) (target.toStdout ? c.err : c.out) << lines << Qt::endl;
    return code;
}

int count(CliContext &c, Args &a)
{
    a.finish();
    qint32 n = 0;
    if (!LinkResult::toBool(c.link->GatherRecordSum(c.addressText(), n, QStringLiteral("ok"))))
        return c.failed(QStringLiteral("count"));
    c.out << n << Qt::endl;
    return ExitCode::Success;
}

// A command that changes the terminal and answers only yes or no.
template <typename Call>
int confirmed(CliContext &c, Args &a, const QString &name, bool needsYes, Call call)
{
    const bool yes = a.flag(QStringLiteral("--yes"));
    a.finish();
    if (needsYes && !yes) throw UsageError{name + QStringLiteral(" erases data on the terminal: add --yes")};
    return c.answered(name, call());
}

int check(CliContext &c, Args &a)
{
    const QString dir = a.value(QStringLiteral("--dir"), QStringLiteral("."));
    const bool decimal = a.flag(QStringLiteral("--decimal"));
    bool fullYear = a.flag(QStringLiteral("--full-year"));
    a.finish();
    QString message;
    bool ok = false;
    const int code = c.link
                         ->CheckData(c.addressText(), QDir(dir).absolutePath(), RawName, message, 3, decimal, fullYear,
                                     QStringLiteral("2008/3/7 10:10"), 20)
                         .toInt(&ok);
    if (ok && code >= 0 && code <= 4) {
        c.out << code << '\t' << message << Qt::endl;
        return code == 0 ? ExitCode::Success : ExitCode::Refused;
    }
    return c.failed(QStringLiteral("check"), message);
}

int sendRecord(CliContext &c, Args &a)
{
    const bool list = a.flag(QStringLiteral("--list"));
    QString card = ArgumentForms::card(a.positional(QStringLiteral("the card number")));
    QString when = ArgumentForms::recordTime(a.positional(QStringLiteral("the date and time (YYMMDDhhmmss)")));
    a.finish();
    // The two codes the console sends with a single record, or with the lines of its list.
    const QString code1 = list ? QStringLiteral("1") : QStringLiteral("FF");
    const QString code2 = list ? QStringLiteral("2") : QStringLiteral("99");
    return c.answered(QStringLiteral("send-record"),
                      c.link->SendRecordToMachine(c.addressText(), card, when, code1, code2));
}

template <typename Call>
int readLog(CliContext &c, Args &a, const QString &name, Call call)
{
    a.finish();
    QString log;
    if (!LinkResult::toBool(call(log))) return c.failed(name);
    c.out << visibleText(log) << Qt::endl;
    return ExitCode::Success;
}

}  // namespace

void addRecordCommands(std::vector<CommandEntry> &t)
{
    t.push_back({QStringLiteral("format"),
                 QStringLiteral("RAW [--dir D|-] [--stdout] [--decimal] [--full-year] [--layout TEXT]"),
                 QStringLiteral("convert a raw record file into D/DataRecordSet.txt (standard output with --stdout "
                                "or --dir -), without a terminal"),
                 false, formatCommand});
    t.push_back({QStringLiteral("count"), QString(), QStringLiteral("the number of records held"), true, count});
    t.push_back({QStringLiteral("clear-flags"), QStringLiteral("--yes"),
                 QStringLiteral("clear the records' collected flags"), true, [](CliContext &c, Args &a) {
                     return confirmed(c, a, QStringLiteral("clear-flags"), true,
                                      [&] { return c.link->ClearFlag(c.address16()); });
                 }});
    t.push_back({QStringLiteral("check"), QStringLiteral("[--dir D] [--decimal] [--full-year]"),
                 QStringLiteral("check D/DataRecordSet_original.txt against the terminal: "
                                "prints 0, or 1 to 4 with the reason"),
                 true, check});
    t.push_back({QStringLiteral("send-record"), QStringLiteral("CARD YYMMDDhhmmss [--list]"),
                 QStringLiteral("send one record to the terminal; --list sends it as a line of a record list"), true,
                 sendRecord});
    t.push_back({QStringLiteral("read-clear-log"), QString(), QStringLiteral("the terminal's clear log"), true,
                 [](CliContext &c, Args &a) {
                     return readLog(c, a, QStringLiteral("read-clear-log"),
                                    [&](QString &log) { return c.link->ReadClearLog(c.address16(), log); });
                 }});
    t.push_back({QStringLiteral("read-time-log"), QString(), QStringLiteral("the terminal's time-change log"), true,
                 [](CliContext &c, Args &a) {
                     return readLog(c, a, QStringLiteral("read-time-log"),
                                    [&](QString &log) { return c.link->ReadChangeTimeLog(c.address16(), log); });
                 }});
}
