#include "sync/DatabaseUrl.h"

#include <QStandardPaths>
#include <QStringList>
#include <QUrl>
#include <QUrlQuery>

#include <libpq-fe.h>

namespace {

bool secret(const QString &key) { return key.contains(QLatin1String("password")); }

// The connection parameters this libpq knows.
bool libpqKnows(const QString &key)
{
    PQconninfoOption *options = PQconndefaults();
    bool known = false;
    for (PQconninfoOption *o = options; o && o->keyword; ++o) known = known || key == QLatin1String(o->keyword);
    PQconninfoFree(options);
    return known;
}

// What is wrong with a URL's parameter, or the empty text.
QString parameterProblem(const QString &key, const QString &value)
{
    static const QStringList inUrl{QStringLiteral("host"), QStringLiteral("port"), QStringLiteral("dbname"),
                                   QStringLiteral("user"), QStringLiteral("password")};
    if (inUrl.contains(key)) return QStringLiteral("%1 belongs in the URL itself, not in its parameters").arg(key);
    if (!libpqKnows(key))
        return QStringLiteral("\"%1\" is not a PostgreSQL connection parameter (sslmode, sslrootcert, ...)").arg(key);
    if (value.contains(u';')) return QStringLiteral("the value of %1 may not hold \";\"").arg(key);
    return {};
}

}  // namespace

QString DatabaseUrl::display() const
{
    if (kind == Sqlite) return QStringLiteral("sqlite:") + path;
    QString text = QStringLiteral("postgresql://%1@%2:%3/%4")
                       .arg(user, host.contains(u':') ? u'[' + host + u']' : host)
                       .arg(port)
                       .arg(database);
    QStringList shown;
    for (const auto &[key, value] : parameters) shown << key + u'=' + (secret(key) ? QStringLiteral("...") : value);
    return shown.isEmpty() ? text : text + u'?' + shown.join(u'&');
}

QString DatabaseUrl::parameterText() const
{
    QStringList words;
    for (auto [key, value] : parameters)
        words << key + QStringLiteral("='")
                + value.replace(u'\\', QStringLiteral("\\\\")).replace(u'\'', QStringLiteral("\\'")) + u'\'';
    return words.join(u';');
}

std::optional<DatabaseUrl> DatabaseUrl::parse(const QString &text, QString &error)
{
    DatabaseUrl url;
    if (text.startsWith(QLatin1String("sqlite:"))) {
        url.path = text.mid(7);
        if (url.path.startsWith(QLatin1String("//"))) url.path = url.path.mid(2);  // sqlite://PATH
        if (url.path.isEmpty()) {
            error = QStringLiteral("database URL \"%1\" names no file (sqlite:PATH)").arg(text);
            return std::nullopt;
        }
        return url;
    }
    if (!text.startsWith(QLatin1String("postgresql://")) && !text.startsWith(QLatin1String("postgres://"))) {
        const QString shown =
            text.contains(QLatin1String("://")) ? QUrl(text).toDisplayString(QUrl::RemovePassword) : text;
        error = QStringLiteral("database URL \"%1\" is neither sqlite:PATH nor postgresql://USER@HOST:PORT/DATABASE")
                    .arg(shown);
        return std::nullopt;
    }
    const QUrl u(text, QUrl::StrictMode);
    url.kind = Postgres;
    url.user = u.userName(QUrl::FullyDecoded);
    url.password = u.password(QUrl::FullyDecoded);
    url.host = u.host(QUrl::FullyDecoded);
    url.port = u.port(5432);
    url.database = u.path(QUrl::FullyDecoded).mid(1);
    if (!u.isValid() || url.host.isEmpty() || url.database.isEmpty() || url.database.contains(u'/') || url.port < 1
        || url.port > 65535 || u.hasFragment()) {
        error = QStringLiteral("database URL \"%1\" is not postgresql://USER@HOST:PORT/DATABASE")
                    .arg(u.toDisplayString(QUrl::RemovePassword));
        return std::nullopt;
    }
    for (const auto &[key, value] : QUrlQuery(u).queryItems(QUrl::FullyDecoded)) {
        const QString problem = parameterProblem(key, value);
        if (!problem.isEmpty()) {
            error = QStringLiteral("database URL %1: %2").arg(url.display(), problem);
            return std::nullopt;
        }
        url.parameters.append({key, value});
    }
    return url;
}

DatabaseUrl DatabaseUrl::defaultLocation()
{
    DatabaseUrl url;
    url.path =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/zevo/punches.sqlite");
    return url;
}
