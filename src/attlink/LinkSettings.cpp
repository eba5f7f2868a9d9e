#include "attlink/LinkSettings.h"

#include <QSettings>

namespace {
int bounded(const QSettings &s, const char *key, int fallback, int low, int high)
{
    bool ok = false;
    const int v = s.value(QLatin1String(key)).toString().trimmed().toInt(&ok);
    return ok && v >= low && v <= high ? v : fallback;
}
}  // namespace

LinkSettings LinkSettings::load(const QString &appFolder)
{
    LinkSettings l = loadFile(appFolder + QStringLiteral("/AttLink.ini"));
    l.folder = appFolder;
    return l;
}

LinkSettings LinkSettings::loadFile(const QString &iniPath)
{
    LinkSettings l;
    l.file = iniPath;
    QSettings s(iniPath, QSettings::IniFormat);
    l.responseTimeoutMs = bounded(s, "Link/ResponseTimeout", l.responseTimeoutMs, 10, 60000);
    l.interByteTimeoutMs = bounded(s, "Link/InterByteTimeout", l.interByteTimeoutMs, 1, 10000);
    l.retries = bounded(s, "Link/Retries", l.retries, 0, 20);
    l.connectTimeoutMs = bounded(s, "Link/ConnectTimeout", l.connectTimeoutMs, 10, 60000);
    l.replyDeadlineMs = bounded(s, "Link/ReplyDeadline", l.replyDeadlineMs, 100, 600000);
    l.baud = bounded(s, "Serial/Baud", l.baud, 1200, 230400);
    l.tcpBaud = bounded(s, "Tcp/Baud", l.tcpBaud, 1200, 4000000);
    l.collectionDeadlineS = bounded(s, "Link/CollectionDeadline", l.collectionDeadlineS, 1, 86400);
    return l;
}

QString LinkSettings::devicePathFor(int n) const
{
    if (n < 1 || n > 255) return {};
    if (ports.contains(n)) return ports.value(n);
    QSettings s(file, QSettings::IniFormat);
    // The INI reading splits an unquoted value at commas; a device name may hold one.
    const QVariant v = s.value(QStringLiteral("Ports/Com%1").arg(n));
    const QString mapped =
        (v.metaType().id() == QMetaType::QStringList ? v.toStringList().join(u',') : v.toString()).trimmed();
    return mapped.isEmpty() ? QStringLiteral("/dev/ttyS%1").arg(n - 1) : mapped;
}
