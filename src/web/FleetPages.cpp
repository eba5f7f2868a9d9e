// The fleet at a glance (/, /api/status), one terminal over time (/terminal/IDENTITY), /metrics.
#include "web/WebPages.h"
#include "web/WebHtml.h"

#include "health/FleetHealth.h"
#include "health/HealthJson.h"
#include "health/HealthMetrics.h"
#include "health/TerminalHistory.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QUrl>

using WebHtml::html;

namespace {

constexpr int ChartSamples = 2000;

QString ageText(qint64 s)
{
    if (s < 60) return QStringLiteral("%1s").arg(s);
    if (s < 3600) return QStringLiteral("%1m").arg(s / 60);
    if (s < 86400) return QStringLiteral("%1h%2m").arg(s / 3600).arg(s % 3600 / 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1d%2h").arg(s / 86400).arg(s % 86400 / 3600, 2, 10, QLatin1Char('0'));
}

QString states(const TerminalHealth &h)
{
    if (h.ok()) return QStringLiteral("<span class=\"state ok\">ok</span>");
    QString s;
    for (const QString &state : h.states) s += QStringLiteral("<span class=\"state %1\">%1</span> ").arg(html(state));
    return s;
}

QString fillBar(const std::optional<double> &fill)
{
    if (!fill) return QStringLiteral("-");
    const int percent = int(*fill * 100.0);
    return QStringLiteral(
               "<meter min=\"0\" max=\"100\" low=\"60\" high=\"80\" optimum=\"0\" value=\"%1\">%1%</meter> %1%")
        .arg(percent);
}

QString drift(const std::optional<qint64> &d)
{
    return d ? (*d >= 0 ? QStringLiteral("+") : QString()) + QString::number(*d) + u's' : QStringLiteral("-");
}

QString fleetRow(const TerminalHealth &h)
{
    const QString link = QStringLiteral("/terminal/") + QString::fromLatin1(QUrl::toPercentEncoding(h.identity));
    return QStringLiteral("<tr><td><a href=\"%1\">%2</a></td><td>%3</td><td>%4</td><td>%5</td><td>%6</td>"
                          "<td class=\"num\">%7</td><td class=\"num\">%8</td><td class=\"num\">%9</td></tr>\n")
        .arg(html(link), html(h.name), states(h),
             h.lastSync.isValid() ? h.lastSync.toString(QStringLiteral("yyyy-MM-dd HH:mm")) : QStringLiteral("never"),
             h.ageSeconds ? ageText(*h.ageSeconds) : QStringLiteral("-"), fillBar(h.fill), drift(h.drift),
             QString::number(h.lostTotal), QString::number(h.suspect));
}

}  // namespace

namespace WebPages {

HttpResponse unavailable(const QString &error, bool json)
{
    HttpResponse r;
    r.status = 503;
    if (json) {
        r.contentType = "application/json";
        r.body = QJsonDocument(QJsonObject{{QStringLiteral("error"), error}}).toJson(QJsonDocument::Compact);
    } else {
        r.body = WebHtml::page(QStringLiteral("Database not readable"),
                               QStringLiteral("<p class=\"error\">%1</p>").arg(html(error)));
    }
    return r;
}

HttpResponse fleet(Database &db, bool json)
{
    QList<TerminalHealth> fleet;
    QString error;
    if (!FleetHealth::read(db, QDateTime::currentDateTime(), HealthThresholds{}, fleet, error))
        return unavailable(error, json);
    HttpResponse r;
    if (json) {
        QJsonArray all;
        for (const TerminalHealth &h : fleet) all.append(healthJson(h));
        r.contentType = "application/json";
        r.body = QJsonDocument(all).toJson(QJsonDocument::Compact);
        return r;
    }
    int ok = 0;
    QString rows, errors;
    for (const TerminalHealth &h : fleet) {
        ok += h.ok();
        rows += fleetRow(h);
        if (!h.lastError.isEmpty())
            errors += QStringLiteral("<li><b>%1</b>: %2</li>").arg(html(h.name), html(h.lastError));
    }
    QString body =
        QStringLiteral(
            "<p>%1 terminals, %2 ok.</p><div class=\"scroll\"><table><thead><tr><th>Terminal</th><th>State</th>"
            "<th>Last sync</th><th>Age</th><th>Fill</th><th>Drift</th><th>Lost</th><th>Suspect</th></tr></thead>"
            "<tbody>\n%3</tbody></table></div>")
            .arg(fleet.size())
            .arg(ok)
            .arg(rows);
    if (!errors.isEmpty()) body += QStringLiteral("<h2>Last errors</h2><ul class=\"error\">%1</ul>").arg(errors);
    r.body = WebHtml::page(QStringLiteral("Fleet"), body);
    return r;
}

HttpResponse terminal(Database &db, const QString &identity)
{
    QList<TerminalHealth> fleet;
    QString error;
    if (!FleetHealth::read(db, QDateTime::currentDateTime(), HealthThresholds{}, fleet, error))
        return unavailable(error, false);
    QList<TerminalSample> samples;
    bool found = false;
    const QDateTime now = QDateTime::currentDateTime();
    if (!TerminalHistory::read(db, identity, now.addYears(-1), ChartSamples, samples, found, error))
        return unavailable(error, false);
    HttpResponse r;
    if (!found) {
        r.status = 404;
        r.body = WebHtml::page(QStringLiteral("No such terminal"),
                               QStringLiteral("<p>No terminal has the identity %1.</p>").arg(html(identity)));
        return r;
    }
    QString head;
    for (const TerminalHealth &h : fleet)
        if (h.identity == identity)
            head = QStringLiteral("<div class=\"scroll\"><table><tbody>%1</tbody></table></div>").arg(fleetRow(h))
                + (h.lastError.isEmpty()
                       ? QString()
                       : QStringLiteral("<p class=\"error\">Last error: %1</p>").arg(html(h.lastError)));
    QList<WebHtml::Point> fill, drifts;
    for (const TerminalSample &s : samples) {
        if (s.fill) fill.append({s.at, *s.fill * 100.0});
        if (s.drift) drifts.append({s.at, double(*s.drift)});
    }
    QString recent;
    for (qsizetype i = samples.size() - 1; i >= 0 && i >= samples.size() - 20; --i) {
        const TerminalSample &s = samples[i];
        recent +=
            QStringLiteral(
                "<tr><td>%1</td><td class=\"num\">%2</td><td class=\"num\">%3</td><td class=\"num\">%4</td><td class=\"num\">%5</td></tr>")
                .arg(s.at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                     s.fill ? QString::number(int(*s.fill * 100)) + u'%' : QStringLiteral("-"), drift(s.drift),
                     QString::number(s.lost), QString::number(s.lastSerial));
    }
    const QString body = head
        + QStringLiteral(
              "<p>Identity %1</p><div class=\"charts\">%2%3</div><h2>Last syncs</h2><div class=\"scroll\"><table>"
              "<thead><tr><th>Synced</th><th>Fill</th><th>Drift</th><th>Lost</th><th>Last serial</th></tr></thead>"
              "<tbody>%4</tbody></table></div>")
              .arg(html(identity), WebHtml::chart(QStringLiteral("Fill"), QStringLiteral("%"), fill),
                   WebHtml::chart(QStringLiteral("Clock drift"), QStringLiteral("s"), drifts), recent);
    QString name = identity;
    for (const TerminalHealth &h : fleet)
        if (h.identity == identity) name = h.name;
    r.body = WebHtml::page(name, body);
    return r;
}

HttpResponse metrics(Database &db)
{
    HttpResponse r;
    QString error;
    if (!HealthMetrics::render(db, QDateTime::currentDateTime(), r.body, error))
        return HttpResponse::text(503, error.toUtf8() + '\n');
    r.contentType = "text/plain; version=0.0.4; charset=utf-8";
    return r;
}

}  // namespace WebPages
