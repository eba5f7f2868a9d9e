// Cards across the fleet: roster plan, apply and pull over a fleet file, and the rosters' export.
#include "attctl/FleetRosterCommands.h"

#include "attctl/DatabaseOption.h"
#include "attctl/OutputFile.h"
#include "fleetcards/FleetRoster.h"
#include "fleetcards/RosterReport.h"
#include "fleetcards/RosterStore.h"
#include "sync/LineLock.h"
#include "sync/Schema.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>

#include <unistd.h>

namespace {

// The options every roster command over a fleet takes: the fleet file and how its lines are worked.
QList<FleetTerminal> fleetOptions(Args &a, FleetRosterOptions &options, const QString &command)
{
    const QString fleetPath = a.value(QStringLiteral("--fleet")).value_or(QString());
    if (fleetPath.isEmpty()) throw UsageError{command + QStringLiteral(" needs --fleet FILE")};
    options.lines.jobs =
        wholeNumber(a.value(QStringLiteral("--jobs"), QStringLiteral("4")), 1, 256, QStringLiteral("--jobs"));
    options.lines.lockWaitSeconds = wholeNumber(a.value(QStringLiteral("--lock-wait"), QStringLiteral("60")), 0, 86400,
                                                QStringLiteral("--lock-wait"));
    options.lines.lockFolder = a.value(QStringLiteral("--lock-dir"), LineLock::defaultFolder());
    options.lines.linkSettingsFile = a.value(QStringLiteral("--link-settings"),
                                             QCoreApplication::applicationDirPath() + QStringLiteral("/AttLink.ini"));
    QString error;
    const std::optional<QList<FleetTerminal>> fleet = FleetFile::load(fleetPath, error);
    if (!fleet) throw UsageError{error};
    return *fleet;
}

// The list of cards, checked against the fleet's groups: every mistake on standard error, and none
// of them lets anything be sent.
QList<ListedCard> cardList(CliContext &c, const QString &path, const QList<FleetTerminal> &fleet)
{
    QStringList errors;
    const std::optional<QList<ListedCard>> list = CardList::load(path, errors);
    if (list) CardList::checkGroups(*list, fleet, path, errors);
    if (errors.isEmpty()) return *list;
    for (qsizetype i = 0; i + 1 < errors.size(); ++i) c.err << "attctl: " << errors[i] << Qt::endl;
    throw UsageError{errors.last() + QStringLiteral(" (nothing was sent)")};
}

int runOverFleet(CliContext &c, const QList<FleetTerminal> &fleet, const QList<ListedCard> &list,
                 const FleetRosterOptions &options, bool json)
{
    const bool tty = isatty(STDERR_FILENO);
    QElapsedTimer clock;
    clock.start();
    const QList<RosterOutcome> all =
        FleetRoster::run(fleet, list, options, [&](const RosterOutcome &o, int done, int total) {
            if (tty) c.err << "\r\033[K" << Qt::flush;
            switch (options.action) {
            case FleetRosterOptions::Plan:
                if (json)
                    c.out << QString::fromUtf8(RosterReport::planJson(o)) << Qt::endl;
                else
                    c.out << RosterReport::planLine(o) << Qt::endl;
                break;
            case FleetRosterOptions::Apply:
                c.out << RosterReport::applyLine(o) << Qt::endl;
                for (const QString &l : RosterReport::refusalLines(o)) c.out << l << Qt::endl;
                break;
            case FleetRosterOptions::Pull:
                c.out << RosterReport::pullLine(o) << Qt::endl;
                break;
            }
            if (tty) c.err << done << " / " << total << " terminals" << Qt::flush;
        });
    if (tty) c.err << "\r\033[K" << Qt::flush;
    const double seconds = double(clock.elapsed()) / 1000.0;
    const QString total = options.action == FleetRosterOptions::Plan ? RosterReport::planTotal(all, seconds)
        : options.action == FleetRosterOptions::Apply                ? RosterReport::applyTotal(all, seconds)
                                                                     : RosterReport::pullTotal(all, seconds);
    // The JSON lines stay one object each; the total goes beside them.
    (json ? c.err : c.out) << total << Qt::endl;
    for (const RosterOutcome &o : all)
        if (!o.ok()) return ExitCode::SomeFailed;
    return ExitCode::Success;
}

int planOrApply(CliContext &c, Args &a, FleetRosterOptions::Action action)
{
    const QString command =
        action == FleetRosterOptions::Plan ? QStringLiteral("roster plan") : QStringLiteral("roster apply");
    FleetRosterOptions options;
    options.action = action;
    const QList<FleetTerminal> fleet = fleetOptions(a, options, command);
    const QString listPath = a.value(QStringLiteral("--from")).value_or(QString());
    options.removeUnlisted = a.flag(QStringLiteral("--remove-unlisted"));
    const bool json = action == FleetRosterOptions::Plan && a.flag(QStringLiteral("--json"));
    options.keepPlans = json;
    a.finish();
    if (listPath.isEmpty()) throw UsageError{command + QStringLiteral(" needs --from CARDS.csv")};
    const QList<ListedCard> list = cardList(c, listPath, fleet);
    return runOverFleet(c, fleet, list, options, json);
}

int pull(CliContext &c, Args &a)
{
    FleetRosterOptions options;
    options.action = FleetRosterOptions::Pull;
    const QList<FleetTerminal> fleet = fleetOptions(a, options, QStringLiteral("roster pull"));
    const std::optional<QString> dbText = a.value(QStringLiteral("--db"));
    options.database = DatabaseOption::urlOf(dbText);
    a.finish();
    QString error;
    if (!DatabaseOption::openForWriting(options.database, dbText.has_value(), error, options.lines.lockWaitSeconds)) {
        c.err << "attctl: " << error << Qt::endl;
        return ExitCode::SomeFailed;
    }
    return runOverFleet(c, fleet, {}, options, false);
}

const QString LineOptions = QStringLiteral("[--jobs N] [--lock-wait SECONDS] [--lock-dir DIR] [--link-settings FILE]");

}  // namespace

int exportRosters(CliContext &c, const DatabaseUrl &url, bool urlGiven, const QString &outPath)
{
    QString error;
    if (url.kind == DatabaseUrl::Sqlite && !QFileInfo::exists(url.path)) {
        c.err << "attctl: database " << url.display() << ": no such file"
              << (urlGiven ? "" : " (no roster pull has run yet)") << Qt::endl;
        return ExitCode::SomeFailed;
    }
    auto db = Database::open(url, error);
    const int version = db ? Schema::usableVersion(*db, error) : -1;
    if (version >= 0 && version != Schema::Current)
        error = db->failure(QStringLiteral("cannot export"),
                            QStringLiteral("it holds no rosters (no roster pull has run)"));
    if (version != Schema::Current) {
        c.err << "attctl: " << error << Qt::endl;
        return ExitCode::SomeFailed;
    }
    qint64 rows = 0;
    OutputFile out(outPath);
    const bool written = out.open()
        && RosterExport::writeCsv(
                             *db, [&](const QByteArray &piece) { return out.write(piece); }, rows, error);
    if (!out.error().isEmpty() || (written && !out.commit())) {
        c.err << "attctl: " << out.error() << Qt::endl;
        return ExitCode::LocalWrite;
    }
    if (!written) {
        c.err << "attctl: " << error << Qt::endl;
        return ExitCode::SomeFailed;
    }
    if (!outPath.isEmpty()) c.err << "attctl: " << rows << " roster rows written to " << outPath << Qt::endl;
    return ExitCode::Success;
}

void addFleetRosterCommands(std::vector<CommandEntry> &t)
{
    t.push_back(
        {QStringLiteral("roster plan"),
         QStringLiteral("--fleet FILE --from CARDS.csv [--remove-unlisted] [--json] ") + LineOptions,
         QStringLiteral("what roster apply would add, change and remove on every terminal of a fleet; changes nothing"),
         false, [](CliContext &c, Args &a) { return planOrApply(c, a, FleetRosterOptions::Plan); }});
    t.push_back(
        {QStringLiteral("roster apply"),
         QStringLiteral("--fleet FILE --from CARDS.csv [--remove-unlisted] ") + LineOptions,
         QStringLiteral("bring every terminal of a fleet to the list of cards (removing unlisted cards only when "
                        "asked); safe to run again; exit 4 when a terminal failed"),
         false, [](CliContext &c, Args &a) { return planOrApply(c, a, FleetRosterOptions::Apply); }});
    t.push_back(
        {QStringLiteral("roster pull"), QStringLiteral("--fleet FILE [--db URL] ") + LineOptions,
         QStringLiteral("store every terminal's roster in the database (export --format roster-csv writes it out)"),
         false, pull});
}
