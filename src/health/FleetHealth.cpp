#include "health/FleetHealth.h"

#include "sync/Database.h"

#include <QSqlQuery>
#include <QVariant>

namespace {

constexpr qint64 Day = 86400;

QString timeText(const QDateTime &t) { return t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")); }

// A stored time, this computer's wall-clock time.
QDateTime timeOf(const QVariant &v)
{
    if (v.isNull()) return {};
    return QDateTime::fromString(v.toString(), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

std::optional<qint64> numberOf(const QVariant &v)
{
    if (v.isNull()) return std::nullopt;
    return v.toLongLong();
}

// A stored time as "yyyy-MM-dd HH:mm:ss" text, as it was written: the PostgreSQL driver would read a
// TIMESTAMP as UTC and move it into this computer's zone.
QString timeColumn(bool postgres, const QString &column)
{
    return postgres ? QStringLiteral("to_char(%1, 'YYYY-MM-DD HH24:MI:SS')").arg(column) : column;
}

// One row per name: the newest terminal of that name. The week-old sample that gives the punch rate
// and the count of suspect punches are looked up by key and by the index of suspect punches alone,
// so that years of samples and punches are never scanned.
QString healthQuery(bool postgres)
{
    const QString since = postgres ? QStringLiteral("CAST(? AS TIMESTAMP)") : QStringLiteral("?");
    const QString firstSample = QStringLiteral("(SELECT %1 FROM samples s WHERE s.terminal_id = t.id AND s.at >= ")
        + since + QStringLiteral(" ORDER BY s.at LIMIT 1)");
    return QStringLiteral("SELECT t.name, t.identity, %1, t.capacity, t.held, t.lost_total, %2, "
                          "t.clock_drift, t.last_error, t.last_serial, "
                          "(SELECT count(*) FROM punches p WHERE p.terminal_id = t.id AND p.suspect <> ''), ")
               .arg(timeColumn(postgres, QStringLiteral("t.last_sync")),
                    timeColumn(postgres, QStringLiteral("t.lost_at")))
        + firstSample.arg(timeColumn(postgres, QStringLiteral("s.at"))) + QStringLiteral(", ")
        + firstSample.arg(QStringLiteral("s.last_serial"))
        + QStringLiteral(
               " FROM terminals t WHERE t.id IN (SELECT max(id) FROM terminals GROUP BY name) ORDER BY t.name");
}

// Days until the memory is full at the rate the serials rose since the sample; none without a rate.
std::optional<double> daysUntilFull(qint64 capacity, qint64 held, qint64 lastSerial, const QDateTime &lastSync,
                                    qint64 sampleSerial, const QDateTime &sampleAt)
{
    const qint64 seconds = sampleAt.isValid() && lastSync.isValid() ? sampleAt.secsTo(lastSync) : 0;
    const qint64 punches = lastSerial - sampleSerial;
    if (seconds < 3600 || punches <= 0) return std::nullopt;
    const double perDay = double(punches) * double(Day) / double(seconds);
    return double(qMax<qint64>(0, capacity - held)) / perDay;
}

void judge(TerminalHealth &h, const QDateTime &now, const QDateTime &lostAt, const HealthThresholds &thresholds)
{
    if (!h.lastError.isEmpty()) h.states << FleetHealth::Failing;
    if (!h.ageSeconds || *h.ageSeconds > thresholds.staleSeconds) h.states << FleetHealth::Stale;
    if (lostAt.isValid() && lostAt.secsTo(now) <= FleetHealth::LostDays * Day) h.states << FleetHealth::Lost;
    if ((h.fill && *h.fill * 100.0 > thresholds.fillPercent)
        || (h.daysUntilFull && *h.daysUntilFull <= FleetHealth::FullDays))
        h.states << FleetHealth::Filling;
}

}  // namespace

namespace FleetHealth {

bool read(Database &db, const QDateTime &now, const HealthThresholds &thresholds, QList<TerminalHealth> &out,
          QString &error)
{
    out.clear();
    QSqlQuery q(db.sql());
    q.setForwardOnly(true);
    q.prepare(healthQuery(db.postgres()));
    const QString since = timeText(now.addDays(-RateDays));
    q.addBindValue(since);
    q.addBindValue(since);
    if (!db.exec(q, error)) return false;
    while (q.next()) {
        TerminalHealth h;
        h.name = q.value(0).toString();
        h.identity = q.value(1).toString();
        h.lastSync = timeOf(q.value(2));
        if (h.lastSync.isValid()) h.ageSeconds = qMax<qint64>(0, h.lastSync.secsTo(now));
        const std::optional<qint64> capacity = numberOf(q.value(3)), held = numberOf(q.value(4));
        if (capacity && held && *capacity > 0) {
            h.fill = double(qMin(*held, *capacity)) / double(*capacity);
            h.daysUntilFull = daysUntilFull(*capacity, *held, q.value(9).toLongLong(), h.lastSync,
                                            q.value(12).toLongLong(), timeOf(q.value(11)));
        }
        h.lostTotal = q.value(5).toLongLong();
        h.drift = numberOf(q.value(7));
        h.lastError = q.value(8).toString();
        h.suspect = q.value(10).toLongLong();
        judge(h, now, timeOf(q.value(6)), thresholds);
        out.append(h);
    }
    return true;
}

}  // namespace FleetHealth
