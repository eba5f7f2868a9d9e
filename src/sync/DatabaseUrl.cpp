#include "sync/DatabaseUrl.h"

#include <QStandardPaths>
#include <QUrl>

QString DatabaseUrl::display() const
{
    if (kind == Sqlite) return QStringLiteral("sqlite:") + path;
    return QStringLiteral("postgresql://%1@%2:%3/%4").arg(user, host).arg(port).arg(database);
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
        || url.port > 65535 || u.hasQuery() || u.hasFragment()) {
        error = QStringLiteral("database URL \"%1\" is not postgresql://USER@HOST:PORT/DATABASE")
                    .arg(u.toDisplayString(QUrl::RemovePassword));
        return std::nullopt;
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
