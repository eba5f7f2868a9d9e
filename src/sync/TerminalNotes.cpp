#include "sync/TerminalNotes.h"

#include "sync/Database.h"
#include "sync/Punch.h"

#include <QSqlQuery>
#include <QVariant>

namespace {

QString timeText(const QDateTime &t) { return t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")); }

// The punch's time as stored, read as text (the PostgreSQL driver would move a TIMESTAMP into this
// computer's zone).
quint64 stampOf(const QVariant &v)
{
    const QDateTime t = QDateTime::fromString(v.toString(), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (!t.isValid()) return 0;
    const QDate d = t.date();
    const QTime c = t.time();
    return PunchTime::stampOf(PackedTime::Civil{d.year(), d.month(), d.day(), c.hour(), c.minute(), c.second()});
}

}  // namespace

namespace TerminalNotes {

bool known(Database &db, const QString &identity, Known &out, QString &error)
{
    out = Known{};
    QSqlQuery q(db.sql());
    q.prepare(
        QStringLiteral("SELECT t.last_serial, t.oldest_serial, %1 FROM terminals t LEFT JOIN punches p "
                       "ON p.terminal_id = t.id AND p.serial = t.last_serial WHERE t.identity = ?")
            .arg(db.postgres() ? QStringLiteral("to_char(p.at, 'YYYY-MM-DD HH24:MI:SS')") : QStringLiteral("p.at")));
    q.addBindValue(identity);
    if (!db.exec(q, error)) return false;
    if (!q.next()) return true;
    out.stored = true;
    out.lastSerial = q.value(0).toULongLong();
    out.oldestSerial = q.value(1).toULongLong();
    out.lastStamp = q.value(2).isNull() ? 0 : stampOf(q.value(2));
    return true;
}

bool failure(Database &db, const QString &name, const QString &identity, const QString &why, const QDateTime &seenAt,
             QString &error)
{
    QSqlQuery q(db.sql());
    // Without an identity the row is the one that last went by that name (a terminal replaced under
    // its name leaves its old row behind).
    const QString row = identity.isEmpty()
        ? QStringLiteral("id = (SELECT id FROM terminals WHERE name = ? ORDER BY id DESC LIMIT 1)")
        : QStringLiteral("identity = ?");
    q.prepare(QStringLiteral("UPDATE terminals SET last_error = ?, last_seen = COALESCE(?, last_seen) WHERE ") + row);
    q.addBindValue(why.isEmpty() ? QStringLiteral("failed") : why);
    q.addBindValue(seenAt.isValid() ? QVariant(timeText(seenAt)) : QVariant(QMetaType(QMetaType::QString)));
    q.addBindValue(identity.isEmpty() ? name : identity);
    return db.exec(q, error);
}

bool held(Database &db, const QString &identity, quint64 held, QString &error)
{
    QSqlQuery q(db.sql());
    q.prepare(QStringLiteral("UPDATE terminals SET held = ? WHERE identity = ? AND held IS NOT NULL"));
    q.addBindValue(qint64(held));
    q.addBindValue(identity);
    return db.exec(q, error);
}

bool run(Database &db, const QDateTime &at, double seconds, int terminals, int failed, qint64 records, QString &error)
{
    QSqlQuery q(db.sql());
    q.prepare(QStringLiteral("INSERT INTO sync_runs (at, seconds, terminals, failed, records) VALUES (?, ?, ?, ?, ?)"));
    q.addBindValue(timeText(at));
    q.addBindValue(seconds);
    q.addBindValue(terminals);
    q.addBindValue(failed);
    q.addBindValue(records);
    return db.exec(q, error);
}

}  // namespace TerminalNotes
