#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class Database;

// Whether each terminal of a punch database is well, and why not, from what the syncs stored: read
// only, so that it can run beside a sync. One row per terminal name (a terminal replaced under its
// name shows its newest identity).
struct TerminalHealth {
    QString name;
    QString identity;
    QDateTime lastSync;                   // the last successful sync (this computer's time); invalid: none
    std::optional<qint64> ageSeconds;     // since lastSync
    QStringList states;                   // of States below, in that order; empty: ok
    std::optional<double> fill;           // share of the record memory in use, 0..1
    std::optional<double> daysUntilFull;  // at the punch rate of the last week
    qint64 lostTotal = 0;
    std::optional<qint64> drift;  // seconds, terminal minus computer
    qint64 suspect = 0;           // punches whose time is suspect
    QString lastError;            // why the last sync failed, empty when it did not

    bool ok() const { return states.isEmpty(); }
    QString stateText() const { return ok() ? QStringLiteral("ok") : states.join(u','); }
};

struct HealthThresholds {
    qint64 staleSeconds = 2 * 3600;  // no successful sync for longer: stale
    int fillPercent = 80;            // fuller: filling
};

namespace FleetHealth {

// The states, from the most to the least urgent.
inline const QString Failing = QStringLiteral("failing");  // the last sync of it failed
inline const QString Stale = QStringLiteral("stale");      // no successful sync for longer than the threshold
inline const QString Lost = QStringLiteral("lost");        // records were lost in the last LostDays
inline const QString Filling = QStringLiteral("filling");  // above the fill threshold, or full within FullDays

constexpr int LostDays = 7;
constexpr int FullDays = 7;
// The punch rate of a forecast is taken over this many days of samples.
constexpr int RateDays = 7;

// Every terminal of a database at the current schema version, by name; false with `error`.
bool read(Database &db, const QDateTime &now, const HealthThresholds &thresholds, QList<TerminalHealth> &out,
          QString &error);

}  // namespace FleetHealth
