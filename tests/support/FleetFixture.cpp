#include "support/FleetFixture.h"

#include "support/SimProcess.h"
#include "sync/Database.h"
#include "sync/DatabaseUrl.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QTest>

QString fleetText(const QList<FleetEntry> &entries)
{
    QString text;
    for (const FleetEntry &e : entries)
        text += QStringLiteral("[%1]\nline = tcp:127.0.0.1:%2\naddress = %3\nclear-after-sync = %4\n\n")
                    .arg(e.name)
                    .arg(e.port)
                    .arg(e.address)
                    .arg(e.clear ? QStringLiteral("true") : QStringLiteral("false"));
    return text;
}

QString lineOf(const QString &out, const QString &name)
{
    for (const QString &l : out.split(u'\n'))
        if (l.startsWith(u'[' + name + u']')) return l;
    return {};
}

qint64 number(Database &db, const QString &sql)
{
    QString error;
    const auto v = db.value(sql, error);
    if (!v) qWarning("%s", qPrintable(error));
    return v ? v->toLongLong() : -1;
}

std::unique_ptr<Database> openDatabase(const QString &url, QString &error)
{
    const std::optional<DatabaseUrl> parsed = DatabaseUrl::parse(url, error);
    return parsed ? Database::open(*parsed, error) : nullptr;
}

void checkExactlyOnce(SimProcess &sim, Database &db, bool expectEmptyWhenCleared, const QSet<int> &cleared)
{
    const QJsonArray terminals = sim.dump()[QStringLiteral("terminals")].toArray();
    QVERIFY(!terminals.isEmpty());
    for (const QJsonValue &v : terminals) {
        const QJsonObject t = v.toObject();
        const QString identity = t[QStringLiteral("identity")].toString();
        const qint64 last = t[QStringLiteral("lastSerial")].toString().toLongLong();
        const QString where =
            QStringLiteral(" FROM punches p JOIN terminals t ON t.id = p.terminal_id WHERE t.identity = '%1'")
                .arg(identity);
        QCOMPARE(number(db, QStringLiteral("SELECT count(*)") + where), last);
        QCOMPARE(number(db, QStringLiteral("SELECT count(DISTINCT p.serial)") + where), last);
        QCOMPARE(number(db, QStringLiteral("SELECT coalesce(max(p.serial), 0)") + where), last);
        const QJsonArray held = t[QStringLiteral("records")].toArray();
        for (const QJsonValue &r : held)
            QVERIFY(r.toObject()[QStringLiteral("serial")].toString().toLongLong() <= last);
        if (expectEmptyWhenCleared && cleared.contains(t[QStringLiteral("address")].toInt())) QCOMPARE(held.size(), 0);
        if (!cleared.contains(t[QStringLiteral("address")].toInt())) QCOMPARE(held.size(), last);
    }
}

QString FleetFolder::writeFile(const QString &name, const QByteArray &bytes) const
{
    const QString path = dir_.filePath(name);
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() ? path : QString();
}

QString FleetFolder::writeFleet(const QString &text)
{
    return writeFile(QStringLiteral("fleet%1.ini").arg(++fleets_), text.toUtf8());
}

QStringList FleetFolder::syncArgs(const QString &fleet, const QString &db) const
{
    return {QStringLiteral("sync"),
            QStringLiteral("--fleet"),
            fleet,
            QStringLiteral("--db"),
            db,
            QStringLiteral("--lock-dir"),
            dir_.filePath(QStringLiteral("locks"))};
}
