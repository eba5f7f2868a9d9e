#pragma once

#include "sync/PunchExport.h"

#include <QList>
#include <optional>

// A page of the export's rows, in the export's order (time, terminal identity, serial): what a
// screen shows at once, so that a filter that selects years of punches never loads them whole.
namespace PunchPage {

struct Request {
    ExportFilter filter;
    std::optional<uint32_t> card;  // one card only
    qint64 offset = 0;             // rows skipped
    int size = 500;                // rows at most
};

// The rows of the page; `more` whether rows follow it. False with `error`.
bool read(Database &db, const Request &request, QList<ExportRow> &rows, bool &more, QString &error);

}  // namespace PunchPage
