#include "sync/SyncReport.h"

namespace {

QString signedSeconds(qint64 s) { return (s >= 0 ? QStringLiteral("+") : QString()) + QString::number(s) + u's'; }

// Text from a terminal or the fleet file, on one line and without control characters.
QString plain(const QString &text)
{
    QString out = text;
    for (QChar &c : out)
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format) c = u' ';
    return out;
}

}  // namespace

namespace SyncReport {

QString line(const TerminalResult &r, bool dryRun)
{
    QString s = u'[' + plain(r.name) + QStringLiteral("] identity=") + (r.identity.isEmpty() ? QStringLiteral("-") : plain(r.identity));
    s += (dryRun ? QStringLiteral(" waiting=") : QStringLiteral(" new=")) + QString::number(r.newRecords);
    s += QStringLiteral(" last-serial=") + (r.lastSerial ? QString::number(*r.lastSerial) : QStringLiteral("-"));
    s += QStringLiteral(" drift=") + (r.drift ? signedSeconds(*r.drift) : QStringLiteral("-"));
    if (r.drift && r.tolerance && qAbs(*r.drift) > *r.tolerance)
        s += QStringLiteral(" (beyond %1s)").arg(*r.tolerance);
    if (r.lost) s += QStringLiteral(" lost=") + QString::number(r.lost);
    s += QStringLiteral(" fill=") + (r.fillPercent ? QString::number(*r.fillPercent) + u'%' : QStringLiteral("-"));
    if (r.clockSet) s += QStringLiteral(" clock-set");
    if (r.cleared) s += QStringLiteral(" cleared=") + QString::number(*r.cleared);
    s += r.ok() ? QStringLiteral(" ok") : QStringLiteral(" error: ") + plain(r.error);
    return s;
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
