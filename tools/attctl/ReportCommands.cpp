// Reports for payroll out of the stored punches.
#include "attctl/CommandTable.h"
#include "attctl/DatabaseOpen.h"
#include "attctl/OutputFile.h"

#include "report/DailyFormat.h"
#include "report/DailyReport.h"

#include <QTime>

namespace {

QDate dateOption(Args &a, const QString &name)
{
    const std::optional<QString> text = a.value(name);
    if (!text) throw UsageError{QStringLiteral("report daily needs %1 DATE").arg(name)};
    const QDate date = QDate::fromString(*text, QStringLiteral("yyyy-MM-dd"));
    if (!date.isValid()) throw UsageError{QStringLiteral("%1 wants a date yyyy-MM-dd, not \"%2\"").arg(name, *text)};
    return date;
}

int dailyCommand(CliContext &c, Args &a)
{
    const std::optional<QString> dbText = a.value(QStringLiteral("--db"));
    DailyOptions options;
    options.from = dateOption(a, QStringLiteral("--from"));
    options.to = dateOption(a, QStringLiteral("--to"));
    if (options.to < options.from) throw UsageError{QStringLiteral("--to is before --from")};
    options.doubleTapSeconds = wholeNumber(a.value(QStringLiteral("--double-tap"), QStringLiteral("60")), 0, 3600,
                                           QStringLiteral("--double-tap"));
    if (const auto starts = a.value(QStringLiteral("--day-starts"))) {
        const QTime t = QTime::fromString(*starts, QStringLiteral("HH:mm"));
        if (!t.isValid()) throw UsageError{QStringLiteral("--day-starts wants a time HH:MM, not \"%1\"").arg(*starts)};
        options.dayStartsMinutes = t.hour() * 60 + t.minute();
    }
    const QString format = a.value(QStringLiteral("--format"), QStringLiteral("csv"));
    if (!DailyFormat::known(format))
        throw UsageError{QStringLiteral("--format must be csv, jsonl or html, not \"%1\"").arg(format)};
    const QString outPath = a.value(QStringLiteral("--out"), QString());
    a.finish();

    auto db = openStoredPunches(dbText, c.err);
    if (!db) return ExitCode::SomeFailed;
    QList<DailyRow> rows;
    QString error;
    if (!DailyReport::rows(*db, options, rows, error)) {
        c.err << "attctl: " << error << Qt::endl;
        return ExitCode::SomeFailed;
    }
    OutputFile out(outPath);
    if (!out.open() || !out.write(DailyFormat::write(format, rows, options)) || !out.commit()) {
        c.err << "attctl: " << out.error() << Qt::endl;
        return ExitCode::LocalWrite;
    }
    if (!outPath.isEmpty()) c.err << "attctl: " << rows.size() << " rows written to " << outPath << Qt::endl;
    return ExitCode::Success;
}

int reportCommand(CliContext &c, Args &a)
{
    const QString kind = a.positional(QStringLiteral("the report (daily)"));
    if (kind != QLatin1String("daily"))
        throw UsageError{QStringLiteral("unknown report \"%1\" (there is: daily)").arg(kind)};
    return dailyCommand(c, a);
}

}  // namespace

void addReportCommands(std::vector<CommandEntry> &t)
{
    t.push_back({QStringLiteral("report"),
                 QStringLiteral("daily --from DATE --to DATE [--db URL] [--double-tap SECONDS] [--day-starts HH:MM] "
                                "[--format csv|jsonl|html] [--out FILE]"),
                 QStringLiteral(
                     "per card and day: first in, last out, punches, worked time and flags, from the stored punches"),
                 false, reportCommand});
}
