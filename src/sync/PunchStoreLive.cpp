// The live path of the punch store: a collector's few punches of one terminal inside a transaction
// it holds for several terminals (attctl watch).
#include "sync/PunchStore.h"

#include "sync/Database.h"
#include "sync/FieldText.h"
#include "sync/PunchTimeCheck.h"
#include "sync/StoredValues.h"
#include "sync/ZoneClock.h"

#include <QDateTime>
#include <QSqlQuery>
#include <QVariant>

using namespace StoredValues;

bool PunchStore::appendPunches(qint64 terminalId, std::vector<Punch> punches, quint64 newLast, qint64 &inserted,
                               QString &error)
{
    if (newLast > LargestSerial) {
        error = db_.failure(QStringLiteral("store"), serialOutOfRange(newLast));
        return false;
    }
    firstSeen_ = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    // Placed in the terminal's zone as its row says, after the punch stored before them (both kept
    // from this store's last append of the terminal).
    LivePlacement &live = livePlacement_[terminalId];
    if (!live.known) {
        QSqlQuery z(db_.sql());
        z.prepare(QStringLiteral("SELECT timezone FROM terminals WHERE id = ?"));
        z.addBindValue(terminalId);
        if (!db_.exec(z, error)) return false;
        live.zone = z.next() ? z.value(0).toString() : QString();
        if (!previousUtc(terminalId, live.zone, live.previous, error)) return false;
        live.known = true;
    }
    const QString zoneName = live.zone;
    qint64 &previous = live.previous;
    ZoneClock zone(zoneName);
    for (Punch &p : punches) {
        if (!serialStorable(p.serial)) {
            error = db_.failure(QStringLiteral("store"), serialOutOfRange(p.serial));
            return false;
        }
        rememberCard(p.card);
        const ZoneClock::Placement at = zone.place(p.stamp, previous);
        p.utcOffset = at.offset;
        p.dstGap = at.gap;
        previous = PunchTime::secondsOf(p.stamp) - at.offset;
    }
    // A handful of punches (a push) goes to PostgreSQL as one statement of literal rows.
    const bool few = db_.postgres() && punches.size() <= LiveRows;
    for (size_t at = 0; at < punches.size(); at += BatchRows) {
        const int count = int(qMin<size_t>(BatchRows, punches.size() - at));
        const bool rows = few ? insertRowsPostgres(terminalId, punches.data() + at, count, inserted, error)
                              : insertBatch(terminalId, punches.data() + at, count, inserted, error);
        if (!rows || !insertCards(error)) return false;
    }
    // The session's incoming rows are moved for this terminal alone: the next terminal of the
    // transaction must not find them.
    if (db_.postgres() && !few && (!moveIncomingPostgres(terminalId, inserted, error)
                           || (incomingReady_ && !db_.exec(QStringLiteral("DELETE FROM zevo_incoming"), error))))
        return false;
    // Numbers only, as one statement: a prepared one costs PostgreSQL three round trips.
    return db_.exec(QStringLiteral("UPDATE terminals SET last_serial = %1 WHERE id = %2 AND last_serial < %1")
                        .arg(qint64(newLast))
                        .arg(terminalId),
                    error);
}

bool PunchStore::insertRowsPostgres(qint64 terminalId, const Punch *punches, int count, qint64 &inserted,
                                    QString &error)
{
    // Text with its quotes doubled, between quotes.
    auto quoted = [](QByteArray &sql, const char *text, int size) {
        sql.append('\'');
        for (int i = 0; i < size && text[i]; ++i) sql.append(text[i] == '\'' ? QByteArray("''") : QByteArray(1, text[i]));
        sql.append('\'');
    };
    QByteArray sql("INSERT INTO punches (terminal_id, serial, card, at, flag, utc_offset, dst_gap, suspect) VALUES ");
    char time[19];
    char flag[4];
    for (int i = 0; i < count; ++i) {
        const Punch &p = punches[i];
        sql.append(i ? ",(" : "(");
        FieldText::appendDecimal(sql, quint64(terminalId));
        sql.append(',');
        FieldText::appendDecimal(sql, p.serial);
        sql.append(',');
        FieldText::appendDecimal(sql, p.card);
        sql.append(',');
        PunchTime::writeText(p.stamp, time, false);
        quoted(sql, time, 19);
        sql.append(',');
        for (int k = 0; k < 4; ++k) flag[k] = storedFlagChar(p.flag[size_t(k)]);
        quoted(sql, flag, 4);
        sql.append(',').append(QByteArray::number(p.utcOffset)).append(p.dstGap ? ",1," : ",0,");
        quoted(sql, PunchSuspect::text(p.suspect), 1 << 16);
        sql.append(')');
    }
    sql.append(" ON CONFLICT DO NOTHING");
    QSqlQuery q(db_.sql());
    if (!q.exec(QString::fromLatin1(sql))) return db_.failed(q, QStringLiteral("insert punches"), error);
    inserted += qMax(0, q.numRowsAffected());
    return true;
}

bool PunchStore::terminalId(const QString &identity, qint64 &id, QString &error)
{
    error.clear();
    QSqlQuery q(db_.sql());
    q.prepare(QStringLiteral("SELECT id FROM terminals WHERE identity = ?"));
    q.addBindValue(identity);
    if (!db_.exec(q, error) || !q.next()) return false;
    id = q.value(0).toLongLong();
    return true;
}

