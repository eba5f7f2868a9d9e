#include "sync/PunchPage.h"

#include "sync/Database.h"

#include <QSqlQuery>
#include <QVariant>

namespace PunchPage {

bool read(Database &db, const Request &request, QList<ExportRow> &rows, bool &more, QString &error)
{
    rows.clear();
    more = false;
    const bool pg = db.postgres();
    const QString stamp = pg ? QStringLiteral("to_char(p.at, 'YYYYMMDDHH24MISS')")
                             : QStringLiteral("replace(replace(replace(p.at, '-', ''), ' ', ''), ':', '')");
    const QString moment = pg ? QStringLiteral("CAST(? AS TIMESTAMP)") : QStringLiteral("?");
    QString sql = QStringLiteral("SELECT t.name, t.identity, t.address, p.serial, p.card, %1, p.flag, p.suspect "
                                 "FROM punches p JOIN terminals t ON t.id = p.terminal_id WHERE 1 = 1")
                      .arg(stamp);
    QVariantList binds;
    const ExportFilter &f = request.filter;
    if (!f.from.isEmpty()) sql += QStringLiteral(" AND p.at >= ") + moment, binds << f.from;
    if (!f.until.isEmpty()) sql += QStringLiteral(" AND p.at < ") + moment, binds << f.until;
    if (!f.terminal.isEmpty()) sql += QStringLiteral(" AND t.name = ?"), binds << f.terminal;
    if (request.card) sql += QStringLiteral(" AND p.card = ?"), binds << qint64(*request.card);
    sql += QStringLiteral(" ORDER BY p.at, t.identity, p.serial LIMIT ? OFFSET ?");
    binds << request.size + 1 << request.offset;
    QSqlQuery q(db.sql());
    q.setForwardOnly(true);
    q.prepare(sql);
    for (const QVariant &b : binds) q.addBindValue(b);
    if (!db.exec(q, error)) return false;
    while (q.next()) {
        if (rows.size() == request.size) {
            more = true;
            break;
        }
        ExportRow r;
        r.terminal = q.value(0).toString();
        r.identity = q.value(1).toString();
        r.address = q.value(2).toInt();
        r.serial = q.value(3).toULongLong();
        r.card = uint32_t(q.value(4).toULongLong());
        r.stamp = q.value(5).toString().toULongLong();
        r.flag = q.value(6).toString().toUtf8();
        r.suspect = q.value(7).toString().toUtf8();
        rows.append(r);
    }
    return true;
}

}  // namespace PunchPage
