// The daily attendance report (/report, /api/report), from the rows `attctl report daily` writes.
#include "web/WebHtml.h"
#include "web/WebPages.h"

#include "report/DailyFormat.h"
#include "report/DailyReport.h"

#include <QTime>
#include <QUrl>

using WebHtml::html;

namespace {

constexpr int PageRows = 2000;
// A report reads every punch of its range: a browser may ask for a quarter at a time, not for years.
constexpr int MaxDays = 92;

struct Query {
    DailyOptions options;
    QString from, to, doubleTap, dayStarts;
    qint64 page = 0;
    QString problem;  // why the query string cannot be used; empty when it can
};

Query queryOf(const HttpRequest &http)
{
    Query q;
    const auto item = [&](const char *name) {
        return http.query.queryItemValue(QLatin1String(name), QUrl::FullyDecoded).trimmed();
    };
    const QDate today = QDate::currentDate();
    q.from = item("from");
    q.to = item("to");
    q.doubleTap = item("double_tap");
    q.dayStarts = item("day_starts");
    if (q.to.isEmpty()) q.to = today.toString(Qt::ISODate);
    if (q.from.isEmpty()) q.from = QDate::fromString(q.to, Qt::ISODate).addDays(-6).toString(Qt::ISODate);
    q.options.from = QDate::fromString(q.from, Qt::ISODate);
    q.options.to = QDate::fromString(q.to, Qt::ISODate);
    bool ok = true;
    if (!q.doubleTap.isEmpty()) q.options.doubleTapSeconds = q.doubleTap.toInt(&ok);
    if (!ok || q.options.doubleTapSeconds < 0 || q.options.doubleTapSeconds > 3600)
        q.problem = QStringLiteral("double_tap wants seconds from 0 to 3600");
    const QTime start = q.dayStarts.isEmpty() ? QTime(0, 0) : QTime::fromString(q.dayStarts, QStringLiteral("HH:mm"));
    if (!start.isValid()) q.problem = QStringLiteral("day_starts wants a time HH:MM");
    q.options.dayStartsMinutes = start.isValid() ? start.hour() * 60 + start.minute() : 0;
    const QString page = item("page");
    q.page = page.isEmpty() ? 0 : page.toLongLong(&ok);
    if (!ok || q.page < 0 || q.page > 100000) q.problem = QStringLiteral("page wants a number from 0");
    if (!q.options.from.isValid() || !q.options.to.isValid() || q.from.size() != 10 || q.to.size() != 10)
        q.problem = QStringLiteral("from and to want days yyyy-MM-dd");
    else if (q.options.from > q.options.to)
        q.problem = QStringLiteral("from is after to");
    else if (q.options.from.daysTo(q.options.to) >= MaxDays)
        q.problem = QStringLiteral("at most %1 days at a time").arg(MaxDays);
    return q;
}

QString link(const QString &path, const Query &q, qint64 page)
{
    QString s = path + QStringLiteral("?from=") + q.from + QStringLiteral("&to=") + q.to;
    if (!q.doubleTap.isEmpty())
        s += QStringLiteral("&double_tap=") + QString::fromLatin1(QUrl::toPercentEncoding(q.doubleTap));
    if (!q.dayStarts.isEmpty())
        s += QStringLiteral("&day_starts=") + QString::fromLatin1(QUrl::toPercentEncoding(q.dayStarts));
    if (page) s += QStringLiteral("&page=") + QString::number(page);
    return s;
}

HttpResponse page(const Query &q, const QList<DailyRow> &rows, qint64 total)
{
    QString body =
        QStringLiteral("<form class=\"filter\" method=\"get\" action=\"/report\">"
                       "<label>From<input type=\"date\" name=\"from\" value=\"%1\"></label>"
                       "<label>To<input type=\"date\" name=\"to\" value=\"%2\"></label>"
                       "<label>Day starts<input type=\"time\" name=\"day_starts\" value=\"%3\"></label>"
                       "<label>Double tap (s)<input name=\"double_tap\" inputmode=\"numeric\" value=\"%4\"></label>"
                       "<button>Show</button></form>")
            .arg(html(q.from), html(q.to), html(q.dayStarts), html(q.doubleTap));
    if (!q.problem.isEmpty()) body += QStringLiteral("<p class=\"error\">%1</p>").arg(html(q.problem));
    const qint64 first = q.page * PageRows;
    if (total > 0)
        body += QStringLiteral("<p>Rows %1 to %2 of %3 (one per card and day; worked time is the sum of the in-out "
                               "pairs).</p>")
                    .arg(first + 1)
                    .arg(first + rows.size())
                    .arg(total);
    // Each day's table scrolls on its own on a narrow screen instead of widening the page.
    body += DailyFormat::htmlTables(rows)
                .replace(QLatin1String("<table class=\"day\">"),
                         QLatin1String("<div class=\"scroll\"><table class=\"day\">"))
                .replace(QLatin1String("</table>"), QLatin1String("</table></div>"));
    QString pager;
    if (q.page > 0)
        pager +=
            QStringLiteral("<a href=\"%1\">Previous</a> ").arg(html(link(QStringLiteral("/report"), q, q.page - 1)));
    if (first + rows.size() < total)
        pager += QStringLiteral("<a href=\"%1\">Next</a>").arg(html(link(QStringLiteral("/report"), q, q.page + 1)));
    if (!pager.isEmpty()) body += QStringLiteral("<p class=\"pager\">") + pager + QStringLiteral("</p>");
    HttpResponse r;
    r.status = q.problem.isEmpty() ? 200 : 400;
    r.body = WebHtml::page(QStringLiteral("Attendance %1 to %2").arg(q.from, q.to), body);
    return r;
}

HttpResponse json(const Query &q, const QList<DailyRow> &rows, qint64 total)
{
    HttpResponse r;
    r.contentType = "application/json";
    r.body = "{\"from\":\"" + q.from.toLatin1() + "\",\"to\":\"" + q.to.toLatin1()
        + "\",\"page\":" + QByteArray::number(q.page) + ",\"total\":" + QByteArray::number(total) + ",\"rows\":[";
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (i) r.body.append(',');
        DailyFormat::appendJsonObject(r.body, rows[i]);
    }
    r.body.append("],\"next\":");
    const qint64 shown = q.page * PageRows + rows.size();
    r.body.append(shown < total ? '"' + link(QStringLiteral("/api/report"), q, q.page + 1).toUtf8() + '"' : "null");
    r.body.append("}");
    return r;
}

}  // namespace

namespace WebPages {

HttpResponse report(Database &db, const HttpRequest &request, bool asJson)
{
    const Query q = queryOf(request);
    if (!q.problem.isEmpty()) {
        if (asJson) return HttpResponse::text(400, q.problem.toUtf8() + '\n');
        return page(q, {}, 0);
    }
    QList<DailyRow> rows;
    QString error;
    if (!DailyReport::rows(db, q.options, rows, error)) return unavailable(error, asJson);
    const qint64 total = rows.size();
    rows = rows.mid(q.page * PageRows, PageRows);
    return asJson ? json(q, rows, total) : page(q, rows, total);
}

}  // namespace WebPages
