#include "health/HealthJson.h"

#include <QJsonValue>

namespace {
QJsonValue orNull(const std::optional<double> &v) { return v ? QJsonValue(*v) : QJsonValue(); }
}  // namespace

QJsonObject healthJson(const TerminalHealth &h)
{
    return QJsonObject{{QStringLiteral("terminal"), h.name},
                       {QStringLiteral("identity"), h.identity},
                       {QStringLiteral("last_sync"),
                        h.lastSync.isValid() ? QJsonValue(h.lastSync.toString(Qt::ISODate)) : QJsonValue()},
                       {QStringLiteral("age_seconds"), h.ageSeconds ? QJsonValue(double(*h.ageSeconds)) : QJsonValue()},
                       {QStringLiteral("state"), h.stateText()},
                       {QStringLiteral("fill_percent"), h.fill ? QJsonValue(int(*h.fill * 100.0)) : QJsonValue()},
                       {QStringLiteral("days_until_full"), orNull(h.daysUntilFull)},
                       {QStringLiteral("lost_total"), double(h.lostTotal)},
                       {QStringLiteral("drift_seconds"), h.drift ? QJsonValue(double(*h.drift)) : QJsonValue()},
                       {QStringLiteral("suspect"), double(h.suspect)},
                       {QStringLiteral("last_error"), h.lastError}};
}
