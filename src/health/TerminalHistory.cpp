#include "health/TerminalHistory.h"

#include "sync/Database.h"

#include <QSqlQuery>
#include <QVariant>

#include <algorithm>

namespace TerminalHistory {

bool read(Database &db, const QString &identity, const QDateTime &since, int limit, QList<TerminalSample> &out,
          bool &found, QString &error)
{
    out.clear();
    QSqlQuery q(db.sql());
    q.prepare(QStringLiteral("SELECT id FROM terminals WHERE identity = ?"));
    q.addBindValue(identity);
    if (!db.exec(q, error)) return false;
    found = q.next();
    if (!found) return true;
    const qint64 id = q.value(0).toLongLong();
    // Stored times are read as text, as written (the PostgreSQL driver would move a TIMESTAMP into
    // this computer's zone); by the samples' key, newest first, so that a year of them is no scan.
    const bool pg = db.postgres();
    q.prepare(QStringLiteral(
                  "SELECT %1, held, capacity, drift, lost, last_serial FROM samples WHERE terminal_id = ? AND at >= %2 "
                  "ORDER BY at DESC LIMIT ?")
                  .arg(pg ? QStringLiteral("to_char(at, 'YYYY-MM-DD HH24:MI:SS')") : QStringLiteral("at"),
                       pg ? QStringLiteral("CAST(? AS TIMESTAMP)") : QStringLiteral("?")));
    q.addBindValue(id);
    q.addBindValue(since.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    q.addBindValue(limit);
    q.setForwardOnly(true);
    if (!db.exec(q, error)) return false;
    while (q.next()) {
        TerminalSample s;
        s.at = QDateTime::fromString(q.value(0).toString(), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        const qint64 capacity = q.value(2).toLongLong();
        if (!q.value(1).isNull() && capacity > 0)
            s.fill = double(qMin(q.value(1).toLongLong(), capacity)) / double(capacity);
        if (!q.value(3).isNull()) s.drift = q.value(3).toLongLong();
        s.lost = q.value(4).toLongLong();
        s.lastSerial = q.value(5).toULongLong();
        out.append(s);
    }
    std::reverse(out.begin(), out.end());
    return true;
}

}  // namespace TerminalHistory
