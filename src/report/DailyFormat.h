#pragma once

#include "report/DailyReport.h"

#include <QByteArray>

// The daily report written out: "csv" (UTF-8, CR LF, a header row), "jsonl" (one JSON object a
// row) or "html" (one printable page, a table per day).
namespace DailyFormat {

bool known(const QString &format);
QByteArray write(const QString &format, const QList<DailyRow> &rows, const DailyOptions &options);

}  // namespace DailyFormat
