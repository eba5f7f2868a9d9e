#pragma once

#include "report/DailyReport.h"

#include <QByteArray>

// The daily report written out: "csv" (UTF-8, CR LF, a header row), "jsonl" (one JSON object a
// row) or "html" (one printable page, a table per day).
namespace DailyFormat {

bool known(const QString &format);
QByteArray write(const QString &format, const QList<DailyRow> &rows, const DailyOptions &options);

// One row as the JSON lines' object (no line end), for the dashboard's JSON.
void appendJsonObject(QByteArray &out, const DailyRow &row);
// The rows as a table per day (headings and tables, every text escaped), for a page around them.
QString htmlTables(const QList<DailyRow> &rows);

}  // namespace DailyFormat
