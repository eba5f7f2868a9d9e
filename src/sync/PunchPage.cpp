#include "sync/PunchPage.h"

#include "sync/PunchRows.h"

namespace PunchPage {

bool read(Database &db, const Request &request, QList<ExportRow> &rows, bool &more, QString &error)
{
    rows.clear();
    more = false;
    ExportFilter filter = request.filter;
    if (request.card) filter.card = request.card;
    // The export's own reading, in its order, stopped as soon as the page and one row more are seen:
    // a day's first page reads a page, not the day.
    qint64 skipped = 0;
    const bool read = PunchRows::byTime(
        db, filter,
        [&](const ExportRow &r) {
            if (skipped < request.offset) return ++skipped, true;
            if (rows.size() == request.size) return more = true, false;
            rows.append(r);
            return true;
        },
        error);
    return read || (more && error.isEmpty());
}

}  // namespace PunchPage
