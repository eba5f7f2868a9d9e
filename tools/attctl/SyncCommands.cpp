// Unattended collection: sync a fleet into a database, export what it holds.
#include "attctl/CommandTable.h"
#include "attctl/DatabaseOption.h"
#include "attctl/HealthCommands.h"
#include "attctl/OutputFile.h"
#include "attctl/RecordOptions.h"

#include "attlink/protocol/RecordWire.h"
#include "common/TextCodec.h"
#include "sync/Database.h"
#include "sync/FleetFile.h"
#include "sync/FleetSync.h"
#include "sync/LineLock.h"
#include "sync/Punch.h"
#include "sync/PunchExport.h"
#include "sync/Schema.h"
#include "sync/SyncReport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

namespace {

// The console's record layout for consumers of its formatted files: GB18030, CR LF, the machine
// number being the terminal's address.
class LayoutFormatter : public RowFormatter {
public:
    explicit LayoutFormatter(const RecordLayout &layout) : layout_(layout), compiled_(layout) {}
    void row(const ExportRow &r, QByteArray &out) override
    {
        WireRecord w;
        w.card = r.card;
        w.when = PunchTime::dateTimeOf(r.stamp);
        w.flag = r.flag;
        line_.clear();
        compiled_.appendTo(QString::fromLatin1(RecordWire::rawLine(r.address, w, layout_.decimalCards, layout_.fullYear)), line_);
        out.append(TextCodec::encode(line_)).append("\r\n");
    }

private:
    RecordLayout layout_;
    CompiledRecordLayout compiled_;
    QString line_;
};

int syncCommand(CommandContext &c, Args &a)
{
    const QString fleetPath = a.value(QStringLiteral("--fleet")).value_or(QString());
    if (fleetPath.isEmpty()) throw UsageError{QStringLiteral("sync needs --fleet FILE")};
    SyncOptions options;
    const std::optional<QString> dbText = a.value(QStringLiteral("--db"));
    options.database = databaseOf(dbText);
    options.jobs = wholeNumber(a.value(QStringLiteral("--jobs"), QStringLiteral("4")), 1, 256, QStringLiteral("--jobs"));
    options.dryRun = a.flag(QStringLiteral("--dry-run"));
    if (const auto beyond = a.value(QStringLiteral("--set-clock-beyond")))
        options.setClockBeyond = wholeNumber(*beyond, 0, 366 * 86400, QStringLiteral("--set-clock-beyond"));
    options.lockWaitSeconds = wholeNumber(a.value(QStringLiteral("--lock-wait"), QStringLiteral("60")), 0, 86400, QStringLiteral("--lock-wait"));
    options.lockFolder = a.value(QStringLiteral("--lock-dir"), LineLock::defaultFolder());
    options.linkSettingsFile = a.value(QStringLiteral("--link-settings"),
                                       QCoreApplication::applicationDirPath() + QStringLiteral("/AttLink.ini"));
    const QString metricsPath = a.value(QStringLiteral("--metrics"), QString());
    a.finish();

    QString error;
    const std::optional<QList<FleetTerminal>> fleet = FleetFile::load(fleetPath, error);
    if (!fleet) throw UsageError{error};

    // The database is made ready before any terminal is touched: a database that cannot be used
    // means no partial work.
    bool useDatabase = true;
    if (options.dryRun) {
        // Read only: a database not made yet just has nothing stored.
        if (options.database.kind == DatabaseUrl::Sqlite && !QFileInfo::exists(options.database.path)) useDatabase = false;
        else {
            auto db = Database::open(options.database, error);
            const int version = db ? Schema::usableVersion(*db, error) : -1;
            if (version < 0) {
                c.err << "attctl: " << error << Qt::endl;
                return ExitCode::SomeFailed;
            }
            useDatabase = version == Schema::Current;
        }
    } else {
        if (options.database.kind == DatabaseUrl::Sqlite && !dbText)
            QDir().mkpath(QFileInfo(options.database.path).path());
        auto db = Database::open(options.database, error);
        if (!db || !Schema::migrate(*db, error) || !Schema::checkWritable(*db, error)) {
            c.err << "attctl: " << error << Qt::endl;
            return ExitCode::SomeFailed;
        }
    }

    const bool tty = isatty(STDERR_FILENO);
    QElapsedTimer clock;
    clock.start();
    FleetSync sync(*fleet, options, useDatabase);
    const QList<TerminalResult> results = sync.run([&](const TerminalResult &r, int done, int total) {
        if (tty) c.err << "\r\033[K" << Qt::flush;
        c.out << SyncReport::line(r, options.dryRun) << Qt::endl;
        if (tty) c.err << done << " / " << total << " terminals" << Qt::flush;
    });
    if (tty) c.err << "\r\033[K" << Qt::flush;
    const double seconds = double(clock.elapsed()) / 1000.0;
    c.out << SyncReport::total(results, seconds, options.dryRun) << Qt::endl;
    const int metrics = finishSyncRun(c.err, options, results, seconds, metricsPath);
    for (const TerminalResult &r : results)
        if (!r.ok()) return ExitCode::SomeFailed;
    return metrics;
}

int exportCommand(CommandContext &c, Args &a)
{
    const std::optional<QString> dbText = a.value(QStringLiteral("--db"));
    const DatabaseUrl url = databaseOf(dbText);
    ExportFilter filter;
    QString error;
    if (const auto from = a.value(QStringLiteral("--from")); from && !PunchExport::readFrom(*from, filter, error)) throw UsageError{error};
    if (const auto to = a.value(QStringLiteral("--to")); to && !PunchExport::readTo(*to, filter, error)) throw UsageError{error};
    filter.terminal = a.value(QStringLiteral("--terminal"), QString());
    const QString format = a.value(QStringLiteral("--format"), QStringLiteral("csv"));
    const std::optional<QString> layoutText = a.value(QStringLiteral("--layout"));
    const bool decimal = a.flag(QStringLiteral("--decimal"));
    const bool fullYear = a.flag(QStringLiteral("--full-year"));
    const QString outPath = a.value(QStringLiteral("--out"), QString());
    a.finish();

    std::unique_ptr<RowFormatter> formatter;
    if (format == QLatin1String("layout")) {
        formatter = std::make_unique<LayoutFormatter>(RecordOptions::layout(layoutText, decimal, fullYear));
    } else {
        if (layoutText || decimal || fullYear) throw UsageError{QStringLiteral("--layout, --decimal and --full-year go with --format layout")};
        formatter = PunchExport::formatter(format);
        if (!formatter) throw UsageError{QStringLiteral("--format must be csv, jsonl or layout, not \"%1\"").arg(format)};
    }
    if (url.kind == DatabaseUrl::Sqlite && !QFileInfo::exists(url.path)) {
        c.err << "attctl: database " << url.display() << ": no such file" << (dbText ? "" : " (no sync has run yet)") << Qt::endl;
        return ExitCode::SomeFailed;
    }
    auto db = Database::open(url, error);
    const int version = db ? Schema::usableVersion(*db, error) : -1;
    if (version >= 0 && version != Schema::Current)
        error = db->failure(QStringLiteral("cannot export"), version == 0 ? QStringLiteral("it holds no punches (no sync has run)")
                                                                          : QStringLiteral("its schema version %1 is older than this program's %2 (a sync brings it up)").arg(version).arg(Schema::Current));
    if (version != Schema::Current) {
        c.err << "attctl: " << error << Qt::endl;
        return ExitCode::SomeFailed;
    }

    // A file appears whole or not at all: an earlier one stays until the new one is complete and on
    // the disk. Without --out the punches go to standard output.
    qint64 rows = 0;
    OutputFile out(outPath);
    const bool written = out.open() && PunchExport::write(*db, filter, *formatter, [&](const QByteArray &piece) {
        return out.write(piece);
    }, rows, error);
    if (!out.error().isEmpty() || (written && !out.commit())) {
        c.err << "attctl: " << out.error() << Qt::endl;
        return ExitCode::LocalWrite;
    }
    if (!written) {
        c.err << "attctl: " << error << Qt::endl;
        return ExitCode::SomeFailed;
    }
    if (outPath.isEmpty()) return ExitCode::Success;
    c.err << "attctl: " << rows << " punches written to " << outPath << Qt::endl;
    return ExitCode::Success;
}

}  // namespace

void addSyncCommands(std::vector<CommandEntry> &t)
{
    t.push_back({QStringLiteral("sync"),
                 QStringLiteral("--fleet FILE [--db URL] [--jobs N] [--dry-run] [--set-clock-beyond SECONDS] "
                                "[--lock-wait SECONDS] [--lock-dir DIR] [--link-settings FILE] [--metrics FILE]"),
                 QStringLiteral("collect every terminal of a fleet file into a database (sqlite:PATH or "
                                "postgresql://USER@HOST:PORT/DB); exit 4 when a terminal failed"),
                 false, syncCommand});
    t.push_back({QStringLiteral("export"),
                 QStringLiteral("[--db URL] [--from DATE] [--to DATE] [--terminal NAME] [--format csv|jsonl|layout] "
                                "[--layout TEXT] [--decimal] [--full-year] [--out FILE]"),
                 QStringLiteral("write the punches of a database as CSV, JSON lines or the console's record layout"),
                 false, exportCommand});
}
