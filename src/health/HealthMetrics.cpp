#include "health/HealthMetrics.h"

#include "health/FleetHealth.h"
#include "sync/Database.h"

#include <QSqlQuery>
#include <QVariant>
#include <functional>

namespace {

// A label value: backslash, double quote and line feed escaped.
QByteArray labelValue(const QString &text)
{
    QByteArray out;
    for (char c : text.toUtf8()) {
        if (c == '\\')
            out.append("\\\\");
        else if (c == '"')
            out.append("\\\"");
        else if (c == '\n')
            out.append("\\n");
        else
            out.append(c);
    }
    return out;
}

QByteArray number(double v) { return QByteArray::number(v, 'g', 15); }

void family(QByteArray &out, const char *name, const char *type, const char *help)
{
    out.append("# HELP ").append(name).append(' ').append(help).append('\n');
    out.append("# TYPE ").append(name).append(' ').append(type).append('\n');
}

// One family with a sample per terminal that has the value.
void perTerminal(QByteArray &out, const QList<TerminalHealth> &fleet, const char *name, const char *type,
                 const char *help, const std::function<std::optional<double>(const TerminalHealth &)> &value)
{
    family(out, name, type, help);
    for (const TerminalHealth &h : fleet) {
        const std::optional<double> v = value(h);
        if (!v) continue;
        out.append(name).append("{terminal=\"").append(labelValue(h.name)).append("\",identity=\"");
        out.append(labelValue(h.identity)).append("\"} ").append(number(*v)).append('\n');
    }
}

}  // namespace

namespace HealthMetrics {

bool render(Database &db, const QDateTime &now, QByteArray &out, QString &error)
{
    QList<TerminalHealth> fleet;
    if (!FleetHealth::read(db, now, HealthThresholds{}, fleet, error)) return false;
    QSqlQuery q(db.sql());
    if (!q.exec(QStringLiteral("SELECT (SELECT seconds FROM sync_runs ORDER BY id DESC LIMIT 1), "
                               "(SELECT COALESCE(sum(records), 0) FROM sync_runs)"))
        || !q.next())
        return db.failed(q, QStringLiteral("read sync runs"), error);
    const QVariant lastSeconds = q.value(0);
    const qint64 records = q.value(1).toLongLong();

    out.clear();
    perTerminal(out, fleet, "zevo_terminal_fill_ratio", "gauge", "Share of the terminal's record memory in use.",
                [](const TerminalHealth &h) { return h.fill; });
    perTerminal(out, fleet, "zevo_terminal_records_lost_total", "counter",
                "Records the terminal overwrote before a sync collected them.",
                [](const TerminalHealth &h) { return std::optional<double>(double(h.lostTotal)); });
    perTerminal(out, fleet, "zevo_terminal_clock_drift_seconds", "gauge",
                "The terminal's clock minus the computer's at its last sync.", [](const TerminalHealth &h) {
                    return h.drift ? std::optional<double>(double(*h.drift)) : std::nullopt;
                });
    perTerminal(out, fleet, "zevo_terminal_last_success_timestamp_seconds", "gauge",
                "When the terminal was last synced.", [](const TerminalHealth &h) {
                    return h.lastSync.isValid() ? std::optional<double>(double(h.lastSync.toSecsSinceEpoch()))
                                                : std::nullopt;
                });
    perTerminal(out, fleet, "zevo_terminal_up", "gauge", "1 when the terminal's last sync succeeded, 0 when it failed.",
                [](const TerminalHealth &h) { return std::optional<double>(h.lastError.isEmpty() ? 1.0 : 0.0); });
    family(out, "zevo_sync_duration_seconds", "gauge", "How long the last sync run took.");
    if (!lastSeconds.isNull())
        out.append("zevo_sync_duration_seconds ").append(number(lastSeconds.toDouble())).append('\n');
    family(out, "zevo_sync_records_total", "counter", "Records the sync runs stored.");
    out.append("zevo_sync_records_total ").append(QByteArray::number(records)).append('\n');
    return true;
}

}  // namespace HealthMetrics
