#include "web/WebSite.h"

#include "web/WebHtml.h"
#include "web/WebPages.h"

#include "sync/Database.h"
#include "sync/Schema.h"

#include <QFileInfo>
#include <QUrlQuery>

namespace {

HttpResponse loginForm(int status, const QString &note)
{
    HttpResponse r;
    r.status = status;
    r.body = WebHtml::page(
        QStringLiteral("Sign in"),
        QStringLiteral("<form method=\"post\" action=\"/login\"><label>Token <input type=\"password\" name=\"token\" "
                       "autocomplete=\"current-password\" autofocus></label> <button>Sign in</button></form>%1")
            .arg(note.isEmpty() ? QString() : QStringLiteral("<p class=\"error\">%1</p>").arg(WebHtml::html(note))));
    return r;
}

bool isApi(const QString &path) { return path.startsWith(QLatin1String("/api/")) || path == QLatin1String("/metrics"); }

}  // namespace

HttpResponse WebSite::respond(const HttpRequest &request) const
{
    // A name of another site pointed at this address (DNS rebinding) is not this dashboard.
    if (!access_.hostAllowed(request))
        return HttpResponse::text(421, "this server does not answer for that host name\n");
    if (request.path == QLatin1String("/style.css")) {
        HttpResponse r;
        r.contentType = "text/css; charset=utf-8";
        r.body = WebHtml::styleSheet();
        return r;
    }
    if (request.path == QLatin1String("/login")) return login(request);
    if (request.method == "POST") return HttpResponse::text(405, "the dashboard only reads\n");
    if (!access_.authorized(request)) {
        if (isApi(request.path) || !request.header("authorization").isEmpty()) {
            HttpResponse r = HttpResponse::text(401, "a valid token is needed\n");
            r.header("WWW-Authenticate", "Bearer realm=\"zevo\"");
            return r;
        }
        HttpResponse r = loginForm(401, QString());
        r.header("WWW-Authenticate", "Bearer realm=\"zevo\"");
        return r;
    }
    return withDatabase(request);
}

HttpResponse WebSite::login(const HttpRequest &request) const
{
    if (!access_.requiresToken()) {
        HttpResponse r = HttpResponse::text(303, "no sign-in needed\n");
        r.header("Location", "/");
        return r;
    }
    if (request.method != "POST") return loginForm(200, QString());
    const QUrlQuery form(QString::fromUtf8(request.body).replace(u'+', QStringLiteral("%20")));
    if (!access_.tokenMatches(form.queryItemValue(QStringLiteral("token"), QUrl::FullyDecoded).toUtf8()))
        return loginForm(401, QStringLiteral("That token is not valid."));
    HttpResponse r = HttpResponse::text(303, "signed in\n");
    r.header("Location", "/");
    r.header("Set-Cookie", access_.sessionCookie());
    return r;
}

HttpResponse WebSite::withDatabase(const HttpRequest &request) const
{
    const QString &path = request.path;
    const bool known = path == QLatin1String("/") || path == QLatin1String("/api/status")
        || path == QLatin1String("/metrics") || path.startsWith(QLatin1String("/terminal/"))
        || path == QLatin1String("/punches") || path == QLatin1String("/punches.csv")
        || path == QLatin1String("/api/punches") || path == QLatin1String("/report")
        || path == QLatin1String("/api/report");
    if (!known) {
        HttpResponse r;
        r.status = 404;
        r.body = WebHtml::page(QStringLiteral("Not found"), QStringLiteral("<p>There is no such page.</p>"));
        return r;
    }
    if (path == QLatin1String("/") || path == QLatin1String("/api/status") || path == QLatin1String("/metrics"))
        return fleetPages_.get(path, [&] { return fromDatabase(request); });
    return fromDatabase(request);
}

HttpResponse WebSite::fromDatabase(const HttpRequest &request) const
{
    const QString &path = request.path;
    const bool json = isApi(path);
    if (database_.kind == DatabaseUrl::Sqlite && !QFileInfo::exists(database_.path))
        return WebPages::unavailable(
            QStringLiteral("database %1: no such file (no sync has run yet)").arg(database_.display()), json);
    QString error;
    bool snapshot = false;
    auto db = Database::openForReading(database_, error, snapshot);
    if (!db || !Schema::readable(*db, QStringLiteral("cannot show"), error)) return WebPages::unavailable(error, json);
    if (path == QLatin1String("/")) return WebPages::fleet(*db, false);
    if (path == QLatin1String("/api/status")) return WebPages::fleet(*db, true);
    if (path == QLatin1String("/metrics")) return WebPages::metrics(*db);
    if (path.startsWith(QLatin1String("/terminal/"))) return WebPages::terminal(*db, path.mid(10));
    if (path == QLatin1String("/report")) return WebPages::report(*db, request, false);
    if (path == QLatin1String("/api/report")) return WebPages::report(*db, request, true);
    if (path == QLatin1String("/punches.csv")) return WebPages::punches(*db, request, WebPages::PunchForm::Csv);
    if (path == QLatin1String("/api/punches")) return WebPages::punches(*db, request, WebPages::PunchForm::Json);
    return WebPages::punches(*db, request, WebPages::PunchForm::Page);
}
