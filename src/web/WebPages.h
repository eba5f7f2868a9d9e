#pragma once

#include "web/HttpRequest.h"
#include "web/HttpResponse.h"

class Database;

// The pages and their JSON twins, each from the code the command line uses: the fleet from
// FleetHealth (attctl status), the metrics from HealthMetrics (sync --metrics), punches from the
// export's rows, the report from DailyReport (attctl report daily). Every one only reads.
namespace WebPages {

HttpResponse fleet(Database &db, bool json);
HttpResponse terminal(Database &db, const QString &identity);
HttpResponse metrics(Database &db);
// /punches, /punches.csv and /api/punches.
enum class PunchForm { Page, Csv, Json };
HttpResponse punches(Database &db, const HttpRequest &request, PunchForm form);
// /report and /api/report: the daily attendance of `attctl report daily`, a page of rows at a time.
HttpResponse report(Database &db, const HttpRequest &request, bool json);

// An answer saying the database cannot be read, without its internals.
HttpResponse unavailable(const QString &error, bool json);

}  // namespace WebPages
