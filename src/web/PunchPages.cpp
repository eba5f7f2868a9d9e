// The punches of a day (/punches, /punches.csv, /api/punches), a page at a time.
#include "web/WebPages.h"
#include "web/WebHtml.h"

#include "sync/FieldText.h"
#include "sync/PunchPage.h"
#include "sync/Punch.h"

#include <QUrl>

using WebHtml::html;

namespace {

constexpr int PageSize = 500;

struct Query {
    PunchPage::Request request;
    QString date, terminal, card;
    qint64 page = 0;
    QString problem;  // why the query string cannot be used; empty when it can
};

Query queryOf(const HttpRequest &http)
{
    Query q;
    const QUrlQuery &u = http.query;
    q.date = u.queryItemValue(QStringLiteral("date"), QUrl::FullyDecoded).trimmed();
    q.terminal = u.queryItemValue(QStringLiteral("terminal"), QUrl::FullyDecoded).trimmed();
    q.card = u.queryItemValue(QStringLiteral("card"), QUrl::FullyDecoded).trimmed();
    if (q.date.isEmpty()) q.date = QDate::currentDate().toString(Qt::ISODate);
    QString error;
    if (!PunchExport::readFrom(q.date, q.request.filter, error) || !PunchExport::readTo(q.date, q.request.filter, error)
        || q.date.size() != 10)
        q.problem = QStringLiteral("date wants a day yyyy-MM-dd");
    q.request.filter.terminal = q.terminal;
    if (!q.card.isEmpty()) {
        bool ok = false;
        const qulonglong card = q.card.toULongLong(&ok);
        if (!ok || card > 0xFFFFFFFFull)
            q.problem = QStringLiteral("card wants a card number (decimal)");
        else
            q.request.card = uint32_t(card);
    }
    bool ok = true;
    const QString page = u.queryItemValue(QStringLiteral("page"));
    q.page = page.isEmpty() ? 0 : page.toLongLong(&ok);
    if (!ok || q.page < 0 || q.page > 1000000) q.problem = QStringLiteral("page wants a number from 0");
    q.request.offset = q.page * PageSize;
    q.request.size = PageSize;
    return q;
}

QString link(const QString &path, const Query &q, qint64 page)
{
    const auto item = [](const char *name, const QString &value) {
        return u'&' + QLatin1String(name) + u'=' + QString::fromLatin1(QUrl::toPercentEncoding(value));
    };
    QString query = item("date", q.date);
    if (!q.terminal.isEmpty()) query += item("terminal", q.terminal);
    if (!q.card.isEmpty()) query += item("card", q.card);
    if (page) query += item("page", QString::number(page));
    return path + u'?' + query.mid(1);
}

QString timeOf(quint64 stamp)
{
    char text[19];
    PunchTime::writeText(stamp, text, false);
    return QString::fromLatin1(text, 19);
}

HttpResponse page(const Query &q, const QList<ExportRow> &rows, bool more)
{
    QString body =
        QStringLiteral(
            "<form class=\"filter\" method=\"get\" action=\"/punches\"><label>Day<input type=\"date\" name=\"date\" value=\"%1\"></label>"
            "<label>Terminal<input name=\"terminal\" value=\"%2\"></label><label>Card<input name=\"card\" inputmode=\"numeric\" value=\"%3\"></label>"
            "<button>Show</button></form>")
            .arg(html(q.date), html(q.terminal), html(q.card));
    if (!q.problem.isEmpty()) body += QStringLiteral("<p class=\"error\">%1</p>").arg(html(q.problem));
    QString table;
    for (const ExportRow &r : rows)
        table +=
            QStringLiteral(
                "<tr><td>%1</td><td>%2</td><td class=\"num\">%3</td><td class=\"num\">%4</td><td>%5</td><td>%6</td></tr>\n")
                .arg(timeOf(r.stamp), html(QString::fromUtf8(r.terminal)), QString::number(r.serial),
                     QStringLiteral("%1").arg(r.card, 10, 10, QLatin1Char('0')), html(QString::fromUtf8(r.flag)),
                     html(QString::fromUtf8(r.suspect)));
    const qint64 first = q.request.offset + (rows.isEmpty() ? 0 : 1), last = q.request.offset + rows.size();
    body += QStringLiteral("<p>Punches %1 to %2%3. <a href=\"%4\">Download these as CSV</a></p>")
                .arg(first)
                .arg(last)
                .arg(more ? QStringLiteral(" (more follow)") : QString(),
                     html(link(QStringLiteral("/punches.csv"), q, q.page)));
    body +=
        QStringLiteral(
            "<div class=\"scroll\"><table><thead><tr><th>Time</th><th>Terminal</th><th>Serial</th><th>Card</th><th>Flag</th>"
            "<th>Suspect</th></tr></thead><tbody>\n%1</tbody></table></div><p>")
            .arg(table);
    if (q.page > 0)
        body +=
            QStringLiteral("<a href=\"%1\">Previous</a> ").arg(html(link(QStringLiteral("/punches"), q, q.page - 1)));
    if (more)
        body += QStringLiteral("<a href=\"%1\">Next</a>").arg(html(link(QStringLiteral("/punches"), q, q.page + 1)));
    HttpResponse r;
    r.status = q.problem.isEmpty() ? 200 : 400;
    r.body = WebHtml::page(QStringLiteral("Punches of ") + q.date, body + QStringLiteral("</p>"));
    return r;
}

}  // namespace

namespace WebPages {

HttpResponse punches(Database &db, const HttpRequest &request, PunchForm form)
{
    const Query q = queryOf(request);
    QList<ExportRow> rows;
    bool more = false;
    QString error;
    if (q.problem.isEmpty() && !PunchPage::read(db, q.request, rows, more, error))
        return unavailable(error, form == PunchForm::Json);
    if (form == PunchForm::Page) return page(q, rows, more);
    if (!q.problem.isEmpty()) return HttpResponse::text(400, q.problem.toUtf8() + '\n');
    HttpResponse r;
    if (form == PunchForm::Csv) {
        // The export's own CSV (formula-safe: it is meant for a spreadsheet), of exactly the rows shown.
        const auto csv = PunchExport::formatter(QStringLiteral("csv"), {.spreadsheetSafe = true});
        csv->begin(r.body);
        for (const ExportRow &row : rows) csv->row(row, r.body);
        r.contentType = "text/csv; charset=utf-8";
        r.header("Content-Disposition",
                 "attachment; filename=\"punches-" + q.date.toLatin1() + '-' + QByteArray::number(q.page) + ".csv\"");
        return r;
    }
    // Each punch as `attctl export --format jsonl` writes it.
    r.body = "{\"date\":";
    FieldText::appendJsonString(r.body, q.date.toUtf8());
    r.body += ",\"page\":" + QByteArray::number(q.page) + ",\"punches\":[";
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (i) r.body.append(',');
        PunchExport::appendJsonObject(rows[i], r.body, false, false);
    }
    r.body += "],\"next\":";
    if (more)
        FieldText::appendJsonString(r.body, link(QStringLiteral("/api/punches"), q, q.page + 1).toUtf8());
    else
        r.body += "null";
    r.body += '}';
    r.contentType = "application/json";
    return r;
}

}  // namespace WebPages
