// Fleet health: `attctl status`, one row per terminal of a punch database, read only.
#include "attctl/CommandTable.h"
#include "attctl/DatabaseOption.h"
#include "attctl/HealthCommands.h"
#include "attctl/OutputFile.h"

#include "common/VisibleText.h"
#include "health/FleetHealth.h"
#include "health/HealthJson.h"
#include "health/HealthMetrics.h"
#include "sync/Database.h"
#include "sync/Schema.h"
#include "sync/TerminalNotes.h"

#include <QFileInfo>
#include <QHash>
#include <QJsonDocument>
#include <QRegularExpression>

namespace {

// A duration: a whole number with s, m, h or d (seconds without a unit).
qint64 durationOf(const QString &text, const QString &what)
{
    static const QRegularExpression form(QStringLiteral("^(\\d{1,9})([smhd]?)$"));
    const QRegularExpressionMatch m = form.match(text.trimmed());
    if (!m.hasMatch())
        throw UsageError{QStringLiteral("%1 wants a duration such as 90m, 2h or 1d, not \"%2\"").arg(what, text)};
    static const QHash<QString, qint64> unit{{QString(), 1},
                                             {QStringLiteral("s"), 1},
                                             {QStringLiteral("m"), 60},
                                             {QStringLiteral("h"), 3600},
                                             {QStringLiteral("d"), 86400}};
    return m.captured(1).toLongLong() * unit.value(m.captured(2));
}

QString ageText(qint64 s)
{
    if (s < 60) return QStringLiteral("%1s").arg(s);
    if (s < 3600) return QStringLiteral("%1m").arg(s / 60);
    if (s < 86400) return QStringLiteral("%1h%2m").arg(s / 3600).arg(s % 3600 / 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1d%2h").arg(s / 86400).arg(s % 86400 / 3600, 2, 10, QLatin1Char('0'));
}

// Columns on a terminal's screen: East Asian wide characters take two.
int columnsOf(const QString &text)
{
    int n = 0;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (c.isLowSurrogate()) continue;
        const bool wide = (u >= 0x1100 && u <= 0x115F) || (u >= 0x2E80 && u <= 0xA4CF) || (u >= 0xAC00 && u <= 0xD7A3)
            || (u >= 0xF900 && u <= 0xFAFF) || (u >= 0xFE30 && u <= 0xFE4F) || (u >= 0xFF00 && u <= 0xFF60)
            || (u >= 0xFFE0 && u <= 0xFFE6) || c.isHighSurrogate();
        n += wide ? 2 : 1;
    }
    return n;
}

QStringList cellsOf(const TerminalHealth &h)
{
    const QString none = QStringLiteral("-");
    return {visibleText(h.name),
            visibleText(h.identity),
            h.lastSync.isValid() ? h.lastSync.toString(QStringLiteral("yyyy-MM-dd HH:mm")) : none,
            h.ageSeconds ? ageText(*h.ageSeconds) : none,
            h.stateText(),
            h.fill ? QStringLiteral("%1%").arg(int(*h.fill * 100.0)) : none,
            h.daysUntilFull ? QString::number(*h.daysUntilFull, 'f', 1) : none,
            QString::number(h.lostTotal),
            h.drift ? (*h.drift >= 0 ? QStringLiteral("+") : QString()) + QString::number(*h.drift) + u's' : none,
            QString::number(h.suspect)};
}

void printTable(QTextStream &out, const QList<TerminalHealth> &fleet)
{
    QList<QStringList> rows{{QStringLiteral("TERMINAL"), QStringLiteral("IDENTITY"), QStringLiteral("LAST SYNC"),
                             QStringLiteral("AGE"), QStringLiteral("STATE"), QStringLiteral("FILL"),
                             QStringLiteral("DAYS TO FULL"), QStringLiteral("LOST"), QStringLiteral("DRIFT"),
                             QStringLiteral("SUSPECT")}};
    for (const TerminalHealth &h : fleet) rows << cellsOf(h);
    QList<int> widths(rows.first().size(), 0);
    for (const QStringList &row : rows)
        for (int i = 0; i < row.size(); ++i) widths[i] = qMax(widths[i], columnsOf(row[i]));
    for (const QStringList &row : rows) {
        QString line;
        for (int i = 0; i < row.size(); ++i) {
            line += row[i];
            if (i + 1 < row.size()) line += QString(widths[i] - columnsOf(row[i]) + 2, u' ');
        }
        out << line << '\n';
    }
    for (const TerminalHealth &h : fleet)
        if (!h.lastError.isEmpty()) out << visibleText(h.name) << ": " << visibleText(h.lastError) << '\n';
    out.flush();
}

void printJson(QTextStream &out, const QList<TerminalHealth> &fleet)
{
    for (const TerminalHealth &h : fleet) {
        out << QJsonDocument(healthJson(h)).toJson(QJsonDocument::Compact) << '\n';
    }
    out.flush();
}

int statusCommand(CliContext &c, Args &a)
{
    const std::optional<QString> dbText = a.value(QStringLiteral("--db"));
    const DatabaseUrl url = DatabaseOption::urlOf(dbText);
    const bool json = a.flag(QStringLiteral("--json"));
    HealthThresholds thresholds;
    thresholds.staleSeconds =
        durationOf(a.value(QStringLiteral("--stale"), QStringLiteral("2h")), QStringLiteral("--stale"));
    thresholds.fillPercent =
        wholeNumber(a.value(QStringLiteral("--fill"), QStringLiteral("80")), 0, 100, QStringLiteral("--fill"));
    a.finish();

    // Only read: a missing file is not made, a database of an older version not migrated.
    if (url.kind == DatabaseUrl::Sqlite && !QFileInfo::exists(url.path)) {
        c.err << "attctl: database " << url.display() << ": no such file (no sync has run yet)" << Qt::endl;
        return ExitCode::SomeFailed;
    }
    QString error;
    auto db = Database::open(url, error);
    const bool readable = db && Schema::readable(*db, QStringLiteral("cannot tell the fleet's health"), error);
    QList<TerminalHealth> fleet;
    if (readable && FleetHealth::read(*db, QDateTime::currentDateTime(), thresholds, fleet, error) && fleet.isEmpty())
        error = db->failure(QStringLiteral("cannot tell the fleet's health"),
                            QStringLiteral("no terminal has been synced yet"));
    if (fleet.isEmpty()) {
        c.err << "attctl: " << error << Qt::endl;
        return ExitCode::SomeFailed;
    }
    if (json)
        printJson(c.out, fleet);
    else
        printTable(c.out, fleet);
    for (const TerminalHealth &h : fleet)
        if (!h.ok()) return ExitCode::Unhealthy;
    return ExitCode::Success;
}

}  // namespace

int finishSyncRun(QTextStream &err, const SyncOptions &options, const QList<TerminalResult> &results, double seconds,
                  const QString &metricsPath)
{
    if (options.dryRun && metricsPath.isEmpty()) return ExitCode::Success;
    if (options.dryRun && options.database.kind == DatabaseUrl::Sqlite && !QFileInfo::exists(options.database.path)) {
        err << "attctl: metrics not written: database " << options.database.display() << ": no such file" << Qt::endl;
        return ExitCode::LocalWrite;
    }
    QString error;
    auto db = Database::open(options.database, error, options.lockWaitSeconds);
    if (db && !options.dryRun) {
        qint64 records = 0;
        int failed = 0;
        for (const TerminalResult &r : results) {
            records += r.newRecords;
            failed += !r.ok();
        }
        if (!TerminalNotes::run(*db, QDateTime::currentDateTime(), seconds, int(results.size()), failed, records,
                                error))
            err << "attctl: " << error << Qt::endl;
    }
    if (metricsPath.isEmpty()) return ExitCode::Success;
    QByteArray text;
    if (!db || !HealthMetrics::render(*db, QDateTime::currentDateTime(), text, error)) {
        err << "attctl: metrics not written: " << error << Qt::endl;
        return ExitCode::LocalWrite;
    }
    // Whole or not at all: a collector reading the folder never sees half a file.
    OutputFile out(metricsPath);
    if (!out.open() || !out.write(text) || !out.commit()) {
        err << "attctl: metrics not written: " << out.error() << Qt::endl;
        return ExitCode::LocalWrite;
    }
    return ExitCode::Success;
}

void addHealthCommands(std::vector<CommandEntry> &t)
{
    t.push_back(
        {QStringLiteral("status"), QStringLiteral("[--db URL] [--json] [--stale DURATION] [--fill PERCENT]"),
         QStringLiteral("tell for every terminal of a database whether it is well (ok, stale, failing, filling, lost); "
                        "exit 6 when one is not"),
         false, statusCommand});
}
