#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

class Database;

// The fleet's health in the Prometheus text format (version 0.0.4), computed from the database alone
// so that any reader of it (attctl sync --metrics, a web page's /metrics) serves the same text.
namespace HealthMetrics {

// False with `error` when the database cannot be read.
bool render(Database &db, const QDateTime &now, QByteArray &out, QString &error);

}  // namespace HealthMetrics
