#include "watch/MqttUrl.h"

#include <QRegularExpression>
#include <QUrl>

namespace {

// What is wrong with a topic prefix, or the empty text. The wildcards may not be published to, an empty
// level would make a topic nobody means, and the broker takes UTF-8 without NUL.
QString prefixProblem(const QString &prefix)
{
    if (prefix.isEmpty()) return QStringLiteral("it names no topic prefix after the host (mqtt://HOST/PREFIX)");
    if (prefix.contains(u'+') || prefix.contains(u'#'))
        return QStringLiteral("the topic prefix \"%1\" holds a wildcard (+ or #)").arg(prefix);
    if (prefix.startsWith(u'/') || prefix.endsWith(u'/') || prefix.contains(QLatin1String("//")))
        return QStringLiteral("the topic prefix \"%1\" has an empty level").arg(prefix);
    for (const QChar c : prefix)
        if (c.category() == QChar::Other_Control) return QStringLiteral("the topic prefix holds control characters");
    if (prefix.toUtf8().size() > 60000) return QStringLiteral("the topic prefix is too long");
    return {};
}

}  // namespace

QString MqttUrl::display() const
{
    return QStringLiteral("mqtt://%1:%2/%3").arg(host.contains(u':') ? u'[' + host + u']' : host).arg(port).arg(prefix);
}

std::optional<MqttUrl> MqttUrl::parse(const QString &text, QString &error)
{
    const QUrl u(text, QUrl::StrictMode);
    // Shown in messages: never the password, also when the URL is too broken to take apart.
    QString shown = u.isValid() ? u.toDisplayString(QUrl::RemovePassword) : text;
    if (!u.isValid()) shown.replace(QRegularExpression(QStringLiteral("://[^/]*@")), QStringLiteral("://...@"));
    auto fail = [&](const QString &why) {
        error = QStringLiteral("MQTT URL \"%1\": %2").arg(shown, why);
        return std::nullopt;
    };
    if (!text.startsWith(QLatin1String("mqtt://")))
        return fail(QStringLiteral("it does not start with mqtt:// (mqtt://[USER[:PASSWORD]@]HOST[:PORT]/PREFIX)"));
    // QUrl's own reason repeats the whole text, password and all.
    if (!u.isValid())
        return fail(QStringLiteral("it is not a valid URL (look at the port, the host and any %-escape)"));
    MqttUrl url;
    url.host = u.host(QUrl::FullyDecoded);
    url.port = u.port(1883);
    url.user = u.userName(QUrl::FullyDecoded);
    url.password = u.password(QUrl::FullyDecoded);
    url.prefix = u.path(QUrl::FullyDecoded).mid(1);
    if (url.host.isEmpty()) return fail(QStringLiteral("it names no host"));
    if (url.port < 1 || url.port > 65535) return fail(QStringLiteral("the port must be 1 to 65535"));
    if (u.hasQuery() || u.hasFragment()) return fail(QStringLiteral("it takes no ?parameters or #fragment"));
    if (url.user.isEmpty() && !url.password.isEmpty()) return fail(QStringLiteral("it gives a password but no user"));
    const QString problem = prefixProblem(url.prefix);
    if (!problem.isEmpty()) return fail(problem);
    if (!url.user.isEmpty() && url.password.isEmpty()) url.password = qEnvironmentVariable("ZEVO_MQTT_PASSWORD");
    return url;
}
