#pragma once

#include "sync/PunchExport.h"

#include <functional>

class Database;

// Reads stored punches as rows with their terminal: for exports and reports by time, for a push by
// serial. A punch stored before time zones were kept is placed in its terminal's zone as it reads.
namespace PunchRows {

// Takes a row; false stops the reading (the caller keeps its reason).
using Each = std::function<bool(const ExportRow &row)>;

// The punches the filter selects, ordered by time, terminal identity and serial. False with `error`
// when the database fails, or when `each` stopped (error left empty).
bool byTime(Database &db, const ExportFilter &filter, const Each &each, QString &error);

// One terminal's punches after serial `after`, in serial order, at most `limit` (from serial
// `after` + 1 through `through` when `through` is given).
bool bySerial(Database &db, qint64 terminalId, quint64 after, int limit, const Each &each, QString &error,
              quint64 through = 0);

}  // namespace PunchRows
