// Unattended collection: sync a fleet into a database, export what it holds.
#include "attctl/CommandTable.h"
#include "attctl/DatabaseOption.h"
#include "attctl/HealthCommands.h"
#include "attctl/FleetRosterCommands.h"
#include "attctl/OutputFile.h"
#include "attctl/RecordOptions.h"
#include "attctl/StopSignal.h"
#include "attctl/TransferProgress.h"

#include "common/AppFolders.h"
#include "sync/Database.h"
#include "sync/FleetFile.h"
#include "sync/FleetSync.h"
#include "sync/LineLock.h"
#include "sync/PunchExport.h"
#include "sync/Schema.h"
#include "sync/SyncReport.h"
#include "watch/WatchRun.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

namespace {

// --out's path, empty for standard output ("-"). The file is written beside its place and renamed
// over it, which a folder or a device such as /dev/stdout cannot take.
QString outputPath(const QString &text)
{
    if (text == QLatin1String("-")) return QString();
    const QFileInfo info(text);
    if (info.isDir()) throw UsageError{QStringLiteral("--out %1 is a folder: name a file in it").arg(text)};
    if (info.exists() && !info.isFile())
        throw UsageError{
            QStringLiteral("--out %1 is not a regular file (--out - writes to standard output)").arg(text)};
    return text;
}

// Under systemd the journal reads standard output and error (JOURNAL_STREAM names them): a line may
// carry its priority as an sd-daemon prefix.
bool underJournal() { return qEnvironmentVariableIsSet("JOURNAL_STREAM"); }
QString journalError() { return underJournal() ? QStringLiteral("<3>") : QString(); }

// The database is made ready before any terminal is touched: a database that cannot be used means
// no partial work. A dry run only reads it, and says which one it read.
int prepareDatabase(CliContext &c, const SyncOptions &options, bool named, bool &useDatabase, int &watchLock)
{
    QString error;
    useDatabase = true;
    if (options.dryRun) {
        // A database not made yet just has nothing stored.
        if (options.database.kind == DatabaseUrl::Sqlite && !QFileInfo::exists(options.database.path)) {
            useDatabase = false;
            c.out << "dry run: database " << options.database.display() << " (not made yet: nothing stored)"
                  << Qt::endl;
            return ExitCode::Success;
        }
        auto db = Database::open(options.database, error, options.lockWaitSeconds);
        const int version = db ? Schema::usableVersion(*db, error) : -1;
        if (version < 0) {
            c.err << journalError() << "attctl: " << error << Qt::endl;
            return ExitCode::SomeFailed;
        }
        useDatabase = version == Schema::Current;
        c.out << "dry run: database " << options.database.display() << (useDatabase ? "" : " (no punches stored yet)")
              << Qt::endl;
        return ExitCode::Success;
    }
    if (!DatabaseOption::openForWriting(options.database, named, error, options.lockWaitSeconds)) {
        c.err << journalError() << "attctl: " << error << Qt::endl;
        return ExitCode::SomeFailed;
    }
    // A watch writing the SQLite file collects these terminals already and holds their lines.
    if (!WatchRun::lockSqliteWriter(options.database, true, watchLock, error)) {
        c.err << journalError() << "attctl: " << error << Qt::endl;
        return ExitCode::SomeFailed;
    }
    return ExitCode::Success;
}

// Runs the sync, its report on standard output in the fleet file's order; under systemd the failed
// and warning lines carry the journal's priority. A stop signal
// finishes or rolls back the terminal in hand and skips the rest.
int runSync(CliContext &c, const QList<FleetTerminal> &fleet, SyncOptions options, bool useDatabase,
            const QString &metricsPath)
{
    const bool journal = underJournal();
    TransferProgress progress(c.err);
    options.stop = &StopSignal::install();
    if (progress.active())
        options.progress = [&](const QString &name, qint64 received, qint64 expected) {
            progress.update(name, received, expected);
        };
    QElapsedTimer clock;
    clock.start();
    FleetSync sync(fleet, options, useDatabase);
    const QList<TerminalResult> results = sync.run([&](const TerminalResult &r, int done, int total) {
        progress.finish(r.name);
        progress.around([&] {
            c.out << (journal ? SyncReport::priority(r) : QString()) << SyncReport::line(r, options.dryRun) << Qt::endl;
        });
        progress.setHeading(QStringLiteral("%1 / %2 terminals").arg(done).arg(total));
    });
    progress.clear();
    if (const int signal = StopSignal::received()) {
        c.out << (journal ? QStringLiteral("<4>") : QString()) << SyncReport::interrupted(results) << Qt::endl;
        return 128 + signal;
    }
    const double seconds = double(clock.elapsed()) / 1000.0;
    c.out << SyncReport::total(results, seconds, options.dryRun) << Qt::endl;
    const int metrics = finishSyncRun(c.err, options, results, seconds, metricsPath);
    for (const TerminalResult &r : results)
        if (!r.ok()) return ExitCode::SomeFailed;
    return metrics;
}

int syncCommand(CliContext &c, Args &a)
{
    const QString fleetPath = a.value(QStringLiteral("--fleet")).value_or(QString());
    if (fleetPath.isEmpty()) throw UsageError{QStringLiteral("sync needs --fleet FILE")};
    SyncOptions options;
    const std::optional<QString> dbText = a.value(QStringLiteral("--db"));
    options.database = DatabaseOption::urlOf(dbText);
    options.jobs =
        wholeNumber(a.value(QStringLiteral("--jobs"), QStringLiteral("4")), 1, 256, QStringLiteral("--jobs"));
    options.dryRun = a.flag(QStringLiteral("--dry-run"));
    if (const auto beyond = a.value(QStringLiteral("--set-clock-beyond")))
        options.setClockBeyond = wholeNumber(*beyond, 0, 366 * 86400, QStringLiteral("--set-clock-beyond"));
    options.lockWaitSeconds = wholeNumber(a.value(QStringLiteral("--lock-wait"), QStringLiteral("60")), 0, 86400,
                                          QStringLiteral("--lock-wait"));
    const std::optional<QString> lockDir = a.value(QStringLiteral("--lock-dir"));
    options.lockFolder = lockDir ? *lockDir : LineLock::defaultFolder();
    // A file named on the command line must exist, as for the device commands' --settings; the
    // default one may be absent (the link's defaults then).
    const std::optional<QString> linkSettings = a.value(QStringLiteral("--link-settings"));
    if (linkSettings && !QFileInfo(*linkSettings).isFile())
        throw UsageError{QStringLiteral("--link-settings: no settings file ") + *linkSettings};
    options.linkSettingsFile = linkSettings.value_or(AppFolders::locate(QCoreApplication::applicationDirPath()).config
                                                     + QStringLiteral("/AttLink.ini"));
    const QString metricsPath = a.value(QStringLiteral("--metrics"), QString());
    a.finish();
    // Checked once before any work, instead of failing every terminal one by one.
    QString lockError;
    if (!LineLock::prepareFolder(options.lockFolder, lockError))
        throw UsageError{QStringLiteral("--lock-dir: ") + lockError};

    QString error;
    const std::optional<QList<FleetTerminal>> fleet = FleetFile::load(fleetPath, error);
    if (!fleet) throw UsageError{error};

    bool useDatabase = true;
    int watchLock = -1;  // held (shared with other syncs) until the sync ends
    const int status = prepareDatabase(c, options, dbText.has_value(), useDatabase, watchLock);
    const int code = status != ExitCode::Success ? status : runSync(c, *fleet, options, useDatabase, metricsPath);
    if (watchLock >= 0) ::close(watchLock);
    return code;
}

// The database an export reads, its schema current and the filter sensible; null with the exit
// status otherwise (a filter that can select nothing by mistake throws UsageError).
std::unique_ptr<Database> openExportDatabase(CliContext &c, const DatabaseUrl &url, bool named,
                                             const ExportFilter &filter, bool &snapshot, int &status)
{
    status = ExitCode::SomeFailed;
    if (url.kind == DatabaseUrl::Sqlite && !QFileInfo::exists(url.path)) {
        c.err << "attctl: database " << url.display() << ": no such file" << (named ? "" : " (no sync has run yet)")
              << Qt::endl;
        return nullptr;
    }
    QString error;
    auto db = Database::openForReading(url, error, snapshot);
    PunchExport::FilterProblem problem = PunchExport::FilterProblem::None;
    if (!db || !Schema::readable(*db, QStringLiteral("cannot export"), error)
        || !PunchExport::checkFilter(*db, filter, problem, error)) {
        c.err << "attctl: " << error << Qt::endl;
        return nullptr;
    }
    if (problem == PunchExport::FilterProblem::EmptyRange)
        throw UsageError{QStringLiteral("--from is after --to: no punch can match")};
    if (problem == PunchExport::FilterProblem::UnknownTerminal)
        throw UsageError{QStringLiteral("--terminal: no terminal named \"%1\" in the database").arg(filter.terminal)};
    return db;
}

// A file's time of change and size, to tell that it is still as it was.
QString fileState(const QString &path)
{
    const QFileInfo f(path);
    return f.lastModified().toString(Qt::ISODateWithMs) + u' ' + QString::number(f.size())
        + (QFileInfo::exists(path + QStringLiteral("-wal")) ? QStringLiteral(" wal") : QString());
}

int exportCommand(CliContext &c, Args &a)
{
    const std::optional<QString> dbText = a.value(QStringLiteral("--db"));
    const DatabaseUrl url = DatabaseOption::urlOf(dbText);
    ExportFilter filter;
    QString error;
    if (const auto from = a.value(QStringLiteral("--from")); from && !PunchExport::readFrom(*from, filter, error))
        throw UsageError{QStringLiteral("--from ") + error};
    if (const auto to = a.value(QStringLiteral("--to")); to && !PunchExport::readTo(*to, filter, error))
        throw UsageError{QStringLiteral("--to ") + error};
    filter.terminal = a.value(QStringLiteral("--terminal"), QString());
    const QString format = a.value(QStringLiteral("--format"), QStringLiteral("csv"));
    const std::optional<QString> layoutText = a.value(QStringLiteral("--layout"));
    const bool decimal = a.flag(QStringLiteral("--decimal"));
    const bool fullYear = a.flag(QStringLiteral("--full-year"));
    const bool spreadsheetSafe = a.flag(QStringLiteral("--spreadsheet-safe"));
    const bool utc = a.flag(QStringLiteral("--utc"));
    const QString outPath = outputPath(a.value(QStringLiteral("--out"), QString()));
    a.finish();

    std::unique_ptr<RowFormatter> formatter;
    if (format == QLatin1String("layout")) {
        if (utc) throw UsageError{QStringLiteral("--utc goes with --format csv or jsonl")};
        formatter = PunchExport::layoutFormatter(RecordOptions::layout(layoutText, decimal, fullYear));
    } else {
        if (layoutText || decimal || fullYear)
            throw UsageError{QStringLiteral("--layout, --decimal and --full-year go with --format layout")};
        if (format == QLatin1String("roster-csv")) {
            if (!filter.from.isEmpty() || !filter.until.isEmpty() || !filter.terminal.isEmpty())
                throw UsageError{QStringLiteral("--from, --to and --terminal select punches, not rosters")};
            if (spreadsheetSafe) throw UsageError{QStringLiteral("--spreadsheet-safe goes with --format csv")};
            return exportRosters(c, url, dbText.has_value(), outPath);
        }
        formatter = PunchExport::formatter(format, {.utc = utc, .spreadsheetSafe = spreadsheetSafe});
        if (!formatter)
            throw UsageError{
                QStringLiteral("--format must be csv, jsonl, layout or roster-csv, not \"%1\"").arg(format)};
    }
    if (spreadsheetSafe && format != QLatin1String("csv"))
        throw UsageError{QStringLiteral("--spreadsheet-safe goes with --format csv")};
    bool snapshot = false;
    int status = ExitCode::Success;
    const QString before = fileState(url.path);  // a snapshot is good while the file stays as it was
    auto db = openExportDatabase(c, url, dbText.has_value(), filter, snapshot, status);
    if (!db) return status;

    // A file appears whole or not at all: an earlier one stays until the new one is complete and on
    // the disk. Without --out the punches go to standard output.
    qint64 rows = 0;
    OutputFile out(outPath);
    const bool written =
        out.open()
        && PunchExport::write(
            *db, filter, *formatter, [&](const QByteArray &piece) { return out.write(piece); }, rows, error);
    if (written && snapshot && fileState(url.path) != before) {
        c.err << "attctl: database " << url.display()
              << ": a sync wrote it during the export; nothing written, run it again" << Qt::endl;
        return ExitCode::SomeFailed;
    }
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
    t.push_back(
        {QStringLiteral("export"),
         QStringLiteral("[--db URL] [--from DATE] [--to DATE] [--terminal NAME] [--format csv|jsonl|layout|roster-csv] "
                        "[--layout TEXT] [--decimal] [--full-year] [--utc] [--spreadsheet-safe] [--out FILE|-]"),
         QStringLiteral("write the punches of a database as CSV, JSON lines or the console's record layout, "
                        "or (roster-csv) the rosters roster pull stored"),
         false, exportCommand});
}
