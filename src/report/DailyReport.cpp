#include "report/DailyReport.h"

#include "sync/Database.h"
#include "sync/Punch.h"
#include "sync/PunchRows.h"
#include "sync/SqlCursor.h"

#include <QHash>
#include <algorithm>
#include <vector>

namespace {

struct CardPunch {
    uint32_t card;
    qint64 day;  // days since 1970 of the day the punch counts for
    qint64 utc;  // seconds since 1970
    quint64 stamp;
    bool dstGap;
};

QString timeText(const QDate &date, int minutes)
{
    return QStringLiteral("%1 %2:%3:00")
        .arg(date.toString(Qt::ISODate))
        .arg(minutes / 60, 2, 10, QLatin1Char('0'))
        .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

// The day a punch counts for: the day it falls in once the day start is taken off.
qint64 dayOf(quint64 stamp, int dayStartsMinutes)
{
    const qint64 seconds = PunchTime::secondsOf(stamp) - qint64(dayStartsMinutes) * 60;
    return seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
}

constexpr qint64 JulianDayOf1970 = 2440588;

// One card's punches of one day, in the order of their moments.
DailyRow dayRow(const CardPunch *begin, const CardPunch *end, const QDate &date, int doubleTapSeconds)
{
    DailyRow row;
    row.card = begin->card;
    row.date = date;
    row.punches = int(end - begin);
    std::vector<const CardPunch *> kept;
    for (const CardPunch *p = begin; p != end; ++p) {
        row.dstGap = row.dstGap || p->dstGap;
        if (p != begin && p->utc - p[-1].utc <= doubleTapSeconds)
            ++row.doubleTaps;
        else
            kept.push_back(p);
    }
    for (size_t i = 0; i + 1 < kept.size(); i += 2) row.workedSeconds += kept[i + 1]->utc - kept[i]->utc;
    row.odd = kept.size() % 2 == 1;
    row.firstIn = kept.front()->stamp;
    if (kept.size() > 1) row.lastOut = kept.back()->stamp;
    return row;
}

bool loadNames(Database &db, QHash<uint32_t, std::pair<QString, QString>> &names, QString &error)
{
    SqlCursor q(db);
    if (!q.exec(
            QStringLiteral("SELECT card, job_number, name FROM cards WHERE job_number IS NOT NULL OR name IS NOT NULL"),
            {}, error))
        return false;
    while (q.next()) names.insert(uint32_t(q.integer(0)), {QString::fromUtf8(q.text(1)), QString::fromUtf8(q.text(2))});
    return q.finish(error);
}

}  // namespace

QString DailyRow::flags() const
{
    if (!odd && !doubleTaps && !dstGap) return QString();
    QStringList f;
    if (odd) f << QStringLiteral("odd");
    if (doubleTaps) f << QStringLiteral("double-taps=%1").arg(doubleTaps);
    if (dstGap) f << QStringLiteral("suspect");
    return f.join(u';');
}

namespace DailyReport {

QString workedText(qint64 seconds)
{
    return QStringLiteral("%1:%2").arg(seconds / 3600).arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'));
}

bool rows(Database &db, const DailyOptions &options, QList<DailyRow> &rows, QString &error)
{
    rows.clear();
    ExportFilter filter;
    filter.from = timeText(options.from, options.dayStartsMinutes);
    filter.until = timeText(options.to.addDays(1), options.dayStartsMinutes);
    std::vector<CardPunch> punches;
    if (!PunchRows::byTime(
            db, filter,
            [&](const ExportRow &r) {
                punches.push_back({r.card, dayOf(r.stamp, options.dayStartsMinutes),
                                   PunchTime::secondsOf(r.stamp) - r.utcOffset, r.stamp, r.dstGap});
                return true;
            },
            error))
        return false;
    QHash<uint32_t, std::pair<QString, QString>> names;
    if (!loadNames(db, names, error)) return false;

    // By day and card, then the order of the moments.
    std::sort(punches.begin(), punches.end(), [](const CardPunch &a, const CardPunch &b) {
        if (a.day != b.day) return a.day < b.day;
        return a.card != b.card ? a.card < b.card : a.utc < b.utc;
    });
    for (size_t i = 0; i < punches.size();) {
        size_t j = i + 1;
        while (j < punches.size() && punches[j].card == punches[i].card && punches[j].day == punches[i].day) ++j;
        DailyRow row = dayRow(&punches[i], &punches[0] + j, QDate::fromJulianDay(punches[i].day + JulianDayOf1970),
                              options.doubleTapSeconds);
        const auto name = names.constFind(row.card);
        if (name != names.cend()) std::tie(row.jobNumber, row.name) = *name;
        rows.append(row);
        i = j;
    }
    return true;
}

}  // namespace DailyReport
