#pragma once

#include "health/FleetHealth.h"

#include <QJsonObject>

// A terminal's health as JSON: the object of `attctl status --json` and of the dashboard's
// /api/status (terminal, identity, last_sync, age_seconds, state, fill_percent, days_until_full,
// lost_total, drift_seconds, suspect, last_error; null where unknown).
QJsonObject healthJson(const TerminalHealth &h);
