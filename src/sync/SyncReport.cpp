#include "sync/SyncReport.h"

#include "common/VisibleText.h"

namespace {

QString signedSeconds(qint64 s) { return (s >= 0 ? QStringLiteral("+") : QString()) + QString::number(s) + u's'; }

// Text from a terminal or the fleet file, by the rule every attctl output follows.
QString plain(const QString &text) { return visibleText(text); }

}  // namespace

namespace SyncReport {

QString line(const TerminalResult &r, bool dryRun)
{
    QString s = u'[' + plain(r.name) + QStringLiteral("] identity=")
        + (r.identity.isEmpty() ? QStringLiteral("-") : plain(r.identity));
    for (const QString &old : r.replaced)
        s += QStringLiteral(" identity-changed=") + plain(old) + QStringLiteral("->") + plain(r.identity);
    s += (dryRun ? QStringLiteral(" waiting=") : QStringLiteral(" new=")) + QString::number(r.newRecords);
    // A dry run stores nothing: what is stored and what the terminal holds are two numbers.
    const auto serial = [](const std::optional<quint64> &n) { return n ? QString::number(*n) : QStringLiteral("-"); };
    if (dryRun)
        s += QStringLiteral(" stored-serial=") + serial(r.lastSerial) + QStringLiteral(" terminal-serial=")
            + serial(r.terminalSerial);
    else
        s += QStringLiteral(" last-serial=") + serial(r.lastSerial);
    s += QStringLiteral(" drift=") + (r.drift ? signedSeconds(*r.drift) : QStringLiteral("-"));
    if (r.drift && r.tolerance && qAbs(*r.drift) > *r.tolerance) s += QStringLiteral(" (beyond %1s)").arg(*r.tolerance);
    if (r.lost) s += QStringLiteral(" lost=") + QString::number(r.lost);
    s += QStringLiteral(" fill=") + (r.fillPercent ? QString::number(*r.fillPercent) + u'%' : QStringLiteral("-"));
    if (r.clockSet) s += QStringLiteral(" clock-set");
    if (r.cleared) s += QStringLiteral(" cleared=") + QString::number(*r.cleared);
    s += r.ok() ? QStringLiteral(" ok") : QStringLiteral(" error: ") + plain(r.error);
    return s;
}

QString priority(const TerminalResult &r)
{
    if (!r.ok()) return QStringLiteral("<3>");
    if (!r.replaced.isEmpty() || (r.drift && r.tolerance && qAbs(*r.drift) > *r.tolerance))
        return QStringLiteral("<4>");
    return {};
}

QString interrupted(const QList<TerminalResult> &results)
{
    int stored = 0, notStarted = 0;
    for (const TerminalResult &r : results) {
        stored += r.started && r.ok();
        notStarted += !r.started;
    }
    return QStringLiteral("interrupted: %1 terminals stored, %2 not started").arg(stored).arg(notStarted);
}

QString total(const QList<TerminalResult> &results, double seconds, bool dryRun)
{
    qint64 records = 0;
    int failed = 0;
    for (const TerminalResult &r : results) {
        records += r.newRecords;
        failed += !r.ok();
    }
    return QStringLiteral("total: %1 terminals, %2 %3, %4 failed, %5 %6 records, %7 s")
        .arg(results.size())
        .arg(results.size() - failed)
        .arg(dryRun ? QStringLiteral("answered") : QStringLiteral("synced"))
        .arg(failed)
        .arg(records)
        .arg(dryRun ? QStringLiteral("waiting") : QStringLiteral("new"))
        .arg(seconds, 0, 'f', 2);
}

}  // namespace SyncReport
