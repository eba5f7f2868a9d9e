#include "sync/PunchStore.h"

#include "sync/Database.h"
#include "sync/FieldText.h"
#include "sync/SqlCursor.h"
#include "sync/ZoneClock.h"
#include "sync/PunchTimeCheck.h"

#include <QSqlDriver>
#include <QSqlQuery>
#include <QVariant>

#include <libpq-fe.h>
#include <sqlite3.h>
#include <limits>
#include <optional>
#include <vector>

namespace {

constexpr quint64 LargestSerial = quint64(std::numeric_limits<qint64>::max());

// Serials are stored in a signed 64-bit column; 0 is never a terminal's serial.
bool serialStorable(quint64 serial) { return serial != 0 && serial <= LargestSerial; }
QString serialOutOfRange(quint64 serial) { return QStringLiteral("serial %1 is out of range").arg(serial); }

// A flag character as stored: anything unprintable becomes '?'.
char storedFlagChar(char c) { return c >= 0x20 && c < 0x7f ? c : '?'; }

// A statement prepared on a SQLite connection, finalized when it goes.
struct SqliteStatement {
    sqlite3_stmt *statement = nullptr;
    ~SqliteStatement() { sqlite3_finalize(statement); }
};

PGconn *postgresHandle(Database &db)
{
    const QVariant v = db.sql().driver()->handle();
    // PGconn is a typedef: the metatype may carry either name.
    if (!v.isValid() || (qstrcmp(v.typeName(), "PGconn*") != 0 && qstrcmp(v.typeName(), "pg_conn*") != 0))
        return nullptr;
    return *static_cast<PGconn *const *>(v.constData());
}

QString postgresReason(PGconn *conn) { return QString::fromUtf8(PQerrorMessage(conn)).simplified(); }

}  // namespace

bool PunchStore::copyBatchPostgres(const Punch *punches, int count, QString &error)
{
    // Rows go by COPY into a temporary table of this session (emptied at each commit), and from there
    // into punches with one INSERT that skips the keys stored already: COPY alone cannot skip them.
    PGconn *conn = postgresHandle(db_);
    if (!conn) {
        error = db_.failure(QStringLiteral("insert punches"), QStringLiteral("no PostgreSQL handle"));
        return false;
    }
    if (!incomingReady_) {
        if (!db_.exec(
                QStringLiteral(
                    "CREATE TEMP TABLE IF NOT EXISTS zevo_incoming (serial BIGINT NOT NULL, card BIGINT NOT NULL, "
                    "at TIMESTAMP(0) NOT NULL, flag TEXT NOT NULL, utc_offset INTEGER NOT NULL, dst_gap SMALLINT NOT NULL, "
                    "suspect TEXT NOT NULL) ON COMMIT DELETE ROWS"),
                error))
            return false;
        incomingReady_ = true;
    }
    QByteArray data;
    data.reserve(count * 48);
    char time[19];
    for (int i = 0; i < count; ++i) {
        const Punch &p = punches[i];
        FieldText::appendDecimal(data, p.serial);
        data.append('\t');
        FieldText::appendDecimal(data, p.card);
        data.append('\t');
        PunchTime::writeText(p.stamp, time, false);
        data.append(time, 19).append('\t');
        for (char c : p.flag) {
            if (c == '\\')
                data.append("\\\\");
            else
                data.append(storedFlagChar(c));
        }
        data.append('\t').append(QByteArray::number(p.utcOffset)).append(p.dstGap ? "\t1\t" : "\t0\t");
        data.append(PunchSuspect::text(p.suspect)).append('\n');
    }
    PGresult *start =
        PQexec(conn, "COPY zevo_incoming (serial, card, at, flag, utc_offset, dst_gap, suspect) FROM STDIN");
    const bool copying = PQresultStatus(start) == PGRES_COPY_IN;
    PQclear(start);
    if (!copying) {
        error = db_.failure(QStringLiteral("copy punches"), postgresReason(conn));
        return false;
    }
    const bool sent = PQputCopyData(conn, data.constData(), int(data.size())) == 1;
    const bool ended = PQputCopyEnd(conn, sent ? nullptr : "abandoned") == 1;
    bool ok = sent && ended;
    while (PGresult *r = PQgetResult(conn)) {
        ok = ok && PQresultStatus(r) == PGRES_COMMAND_OK;
        PQclear(r);
    }
    if (!ok) error = db_.failure(QStringLiteral("copy punches"), postgresReason(conn));
    return ok;
}

bool PunchStore::moveIncomingPostgres(qint64 terminalId, qint64 &inserted, QString &error)
{
    if (!incomingReady_) return true;  // nothing was copied in this session
    QSqlQuery q(db_.sql());
    if (!q.exec(
            QStringLiteral("INSERT INTO punches (terminal_id, serial, card, at, flag, utc_offset, dst_gap, suspect) "
                           "SELECT %1, serial, card, at, flag, utc_offset, dst_gap, suspect FROM zevo_incoming "
                           "ON CONFLICT DO NOTHING")
                .arg(terminalId)))
        return db_.failed(q, QStringLiteral("insert punches"), error);
    inserted += qMax(0, q.numRowsAffected());
    return true;
}

void PunchStore::rememberCard(uint32_t card)
{
    if (!knownCards_.contains(card)) {
        knownCards_.insert(card);
        newCards_.append(card);
    }
}

bool PunchStore::insertBatchSqlite(qint64 terminalId, const Punch *punches, int count, qint64 &inserted, QString &error)
{
    sqlite3 *h = sqliteHandleOf(db_);
    SqliteStatement insert;
    if (!h
        || sqlite3_prepare_v2(h,
                              "INSERT INTO punches (terminal_id, serial, card, at, flag, utc_offset, dst_gap, suspect) "
                              "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8) ON CONFLICT DO NOTHING",
                              -1, &insert.statement, nullptr)
            != SQLITE_OK) {
        error = db_.failure(QStringLiteral("insert punches"),
                            h ? QString::fromUtf8(sqlite3_errmsg(h)) : QStringLiteral("no SQLite handle"));
        return false;
    }
    sqlite3_stmt *st = insert.statement;
    char time[19];
    char flag[4];
    for (int i = 0; i < count; ++i) {
        const Punch &p = punches[i];
        PunchTime::writeText(p.stamp, time, false);
        for (int k = 0; k < 4; ++k) flag[k] = storedFlagChar(p.flag[size_t(k)]);
        sqlite3_bind_int64(st, 1, terminalId);
        sqlite3_bind_int64(st, 2, sqlite3_int64(p.serial));
        sqlite3_bind_int64(st, 3, sqlite3_int64(p.card));
        sqlite3_bind_text(st, 4, time, 19, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 5, flag, 4, SQLITE_TRANSIENT);
        sqlite3_bind_int(st, 6, p.utcOffset);
        sqlite3_bind_int(st, 7, p.dstGap ? 1 : 0);
        sqlite3_bind_text(st, 8, PunchSuspect::text(p.suspect), -1, SQLITE_STATIC);
        if (sqlite3_step(st) != SQLITE_DONE) {
            error = db_.failure(QStringLiteral("insert punches"), QString::fromUtf8(sqlite3_errmsg(h)));
            return false;
        }
        inserted += sqlite3_changes(h);
        sqlite3_reset(st);
    }
    return true;
}

bool PunchStore::lastSerial(const QString &identity, quint64 &serial, QString &error, bool *known)
{
    QSqlQuery q(db_.sql());
    q.prepare(QStringLiteral("SELECT last_serial FROM terminals WHERE identity = ?"));
    q.addBindValue(identity);
    if (!db_.exec(q, error)) return false;
    const bool found = q.next();
    serial = found ? q.value(0).toULongLong() : 0;
    if (known) *known = found;
    return true;
}

bool PunchStore::replacedIdentities(const TerminalFacts &t, QStringList &identities, QString &error)
{
    identities.clear();
    QSqlQuery q(db_.sql());
    q.prepare(QStringLiteral(
        "SELECT identity FROM terminals WHERE identity <> ? AND (name = ? OR (line = ? AND address = ?)) ORDER BY id"));
    q.addBindValue(t.identity);
    q.addBindValue(t.name);
    q.addBindValue(t.line);
    q.addBindValue(t.address);
    if (!db_.exec(q, error)) return false;
    while (q.next()) identities.append(q.value(0).toString());
    return true;
}

bool PunchStore::upsertTerminal(const TerminalFacts &t, qint64 &id, QString &error)
{
    QSqlQuery old(db_.sql());
    old.prepare(QStringLiteral("SELECT id, timezone FROM terminals WHERE identity = ?"));
    old.addBindValue(t.identity);
    if (!db_.exec(old, error)) return false;
    const bool known = old.next();
    if (known && old.value(1).toString() != t.timezone
        && !keepOffsetsOfOldZone(old.value(0).toLongLong(), old.value(1).toString(), error))
        return false;
    QSqlQuery replaced(db_.sql());
    replaced.prepare(QStringLiteral(
        "UPDATE terminals SET name = name || ' (replaced by ' || ? || ')' WHERE name = ? AND identity <> ?"));
    replaced.addBindValue(t.identity);
    replaced.addBindValue(t.name);
    replaced.addBindValue(t.identity);
    if (!db_.exec(replaced, error)) return false;
    QSqlQuery q(db_.sql());
    q.prepare(QStringLiteral(
        "INSERT INTO terminals (identity, name, model, firmware, address, line, last_sync, clock_drift, "
        "capacity, held, oldest_serial, last_seen, last_error, timezone) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, '', ?) "
        "ON CONFLICT (identity) DO UPDATE SET name = excluded.name, "
        "model = excluded.model, firmware = excluded.firmware, address = excluded.address, "
        "line = excluded.line, last_sync = excluded.last_sync, clock_drift = excluded.clock_drift, "
        "capacity = excluded.capacity, held = excluded.held, last_seen = excluded.last_seen, last_error = '', "
        "oldest_serial = CASE WHEN excluded.oldest_serial > terminals.oldest_serial "
        "THEN excluded.oldest_serial ELSE terminals.oldest_serial END, timezone = excluded.timezone"));
    q.addBindValue(t.identity);
    q.addBindValue(t.name);
    q.addBindValue(t.model);
    q.addBindValue(t.firmware);
    q.addBindValue(t.address);
    q.addBindValue(t.line);
    const QString at = t.syncedAt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    q.addBindValue(at);
    q.addBindValue(t.clockDrift);
    q.addBindValue(t.hasMemory ? QVariant(qint64(t.capacity)) : QVariant());
    q.addBindValue(t.hasMemory ? QVariant(qint64(t.held)) : QVariant());
    q.addBindValue(qint64(t.hasMemory ? t.firstAvailable : 0));
    q.addBindValue(at);
    q.addBindValue(t.timezone.isEmpty() ? QStringLiteral("") : t.timezone);  // never NULL
    if (!db_.exec(q, error)) return false;
    QSqlQuery s(db_.sql());
    s.prepare(QStringLiteral("SELECT id FROM terminals WHERE identity = ?"));
    s.addBindValue(t.identity);
    if (!db_.exec(s, error)) return false;
    if (!s.next()) {
        error = db_.failure(QStringLiteral("terminal row"), QStringLiteral("missing after it was written"));
        return false;
    }
    id = s.value(0).toLongLong();
    firstSeen_ = t.syncedAt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return true;
}

bool PunchStore::keepOffsetsOfOldZone(qint64 terminalId, const QString &oldZone, QString &error)
{
    // A page at a time: a PostgreSQL connection cannot update while a query's rows are still coming.
    QSqlQuery q(db_.sql());
    q.prepare(
        QStringLiteral("SELECT serial, %1 FROM punches WHERE terminal_id = ? AND utc_offset IS NULL AND serial > ? "
                       "ORDER BY serial LIMIT 10000")
            .arg(PunchTime::stampSql(db_.postgres(), QStringLiteral("at"))));
    QSqlQuery u(db_.sql());
    u.prepare(QStringLiteral("UPDATE punches SET utc_offset = ?, dst_gap = ? WHERE terminal_id = %1 AND serial = ?")
                  .arg(terminalId));
    ZoneClock zone(oldZone);
    qint64 previous = ZoneClock::NoPrevious, after = 0;
    for (;;) {
        q.addBindValue(terminalId);
        q.addBindValue(after);
        if (!db_.exec(q, error)) return false;
        QVariantList serials, offsets, gaps;
        while (q.next()) {
            const quint64 stamp = q.value(1).toULongLong();
            const ZoneClock::Placement at = zone.place(stamp, previous);
            previous = PunchTime::secondsOf(stamp) - at.offset;
            after = q.value(0).toLongLong();
            serials << after;
            offsets << at.offset;
            gaps << (at.gap ? 1 : 0);
        }
        if (serials.isEmpty()) return true;
        u.addBindValue(offsets);
        u.addBindValue(gaps);
        u.addBindValue(serials);
        if (!u.execBatch()) return db_.failed(u, QStringLiteral("keep the offsets of the old zone"), error);
    }
}

bool PunchStore::previousUtc(qint64 terminalId, const QString &zone, qint64 &utc, QString &error)
{
    QSqlQuery q(db_.sql());
    q.prepare(QStringLiteral("SELECT %1, utc_offset FROM punches WHERE terminal_id = ? ORDER BY serial DESC LIMIT 1")
                  .arg(PunchTime::stampSql(db_.postgres(), QStringLiteral("at"))));
    q.addBindValue(terminalId);
    if (!db_.exec(q, error)) return false;
    utc = ZoneClock::NoPrevious;
    if (!q.next()) return true;
    const quint64 stamp = q.value(0).toULongLong();
    const int offset = q.value(1).isNull() ? ZoneClock(zone).place(stamp).offset : q.value(1).toInt();
    utc = PunchTime::secondsOf(stamp) - offset;
    return true;
}

bool PunchStore::insertBatch(qint64 terminalId, const Punch *punches, int count, qint64 &inserted, QString &error)
{
    // PostgreSQL counts what it inserted when the batches move on from the temporary table.
    return db_.postgres() ? copyBatchPostgres(punches, count, error)
                          : insertBatchSqlite(terminalId, punches, count, inserted, error);
}

bool PunchStore::insertCards(QString &error)
{
    if (newCards_.isEmpty()) return true;
    QByteArray sql("INSERT INTO cards (card, first_seen) VALUES ");
    for (qsizetype i = 0; i < newCards_.size(); ++i) {
        if (i) sql.append(',');
        sql.append('(');
        FieldText::appendDecimal(sql, newCards_[i]);
        sql.append(",'").append(firstSeen_.toLatin1()).append("')");
    }
    sql.append(" ON CONFLICT DO NOTHING");
    newCards_.clear();
    return db_.exec(QString::fromLatin1(sql), error);
}

bool PunchStore::store(const TerminalFacts &terminal, const std::function<bool(Punch &, QString &)> &next,
                       quint64 newLast, qint64 &inserted, QString &error, bool durable)
{
    inserted = 0;
    lost_ = 0;
    if (newLast > LargestSerial || terminal.firstAvailable > LargestSerial) {
        error = db_.failure(QStringLiteral("store"), serialOutOfRange(newLast));
        return false;
    }
    std::optional<QMutexLocker<QMutex>> hold;
    if (gate_) hold.emplace(gate_);
    // In WAL mode NORMAL syncs at checkpoints only, FULL at every commit; a power cut after a
    // NORMAL commit loses it whole (records and last serial alike), never half of it.
    if (!db_.postgres()
        && !db_.exec(durable ? QStringLiteral("PRAGMA synchronous=FULL") : QStringLiteral("PRAGMA synchronous=NORMAL"),
                     error))
        return false;
    if (!db_.begin(error)) return false;
    // Cards remembered by this store may belong to a transaction that was rolled back.
    const QSet<uint32_t> cardsBefore = knownCards_;
    auto fail = [&] {
        db_.rollback();
        incomingReady_ = false;  // a temporary table made in the failed transaction is gone
        knownCards_ = cardsBefore;
        newCards_.clear();
        inserted = 0;
        lost_ = 0;
        return false;
    };
    qint64 id = 0;
    qint64 previous = 0;
    if (!upsertTerminal(terminal, id, error) || !countLost(terminal, id, newLast, error)
        || !previousUtc(id, terminal.timezone, previous, error))
        return fail();
    ZoneClock zone(terminal.timezone);
    std::vector<Punch> batch(BatchRows);
    int filled = 0;
    QString sourceError;
    for (;;) {
        const bool more = next(batch[filled], sourceError);
        if (!sourceError.isEmpty()) {
            error = sourceError;
            return fail();
        }
        if (more) {
            const Punch &p = batch[filled];
            if (!serialStorable(p.serial)) {
                error = db_.failure(QStringLiteral("store"), serialOutOfRange(p.serial));
                return fail();
            }
            rememberCard(p.card);
            const ZoneClock::Placement at = zone.place(p.stamp, previous);
            batch[filled].utcOffset = at.offset;
            batch[filled].dstGap = at.gap;
            previous = PunchTime::secondsOf(p.stamp) - at.offset;
            ++filled;
        }
        if (filled == BatchRows || (!more && filled > 0)) {
            if (!insertBatch(id, batch.data(), filled, inserted, error) || !insertCards(error)) return fail();
            filled = 0;
        }
        if (!more) break;
    }
    if (db_.postgres() && !moveIncomingPostgres(id, inserted, error)) return fail();
    QSqlQuery q(db_.sql());
    // Raised, never lowered: another sync may have stored further meanwhile.
    q.prepare(QStringLiteral("UPDATE terminals SET last_serial = ? WHERE id = ? AND last_serial < ?"));
    q.addBindValue(qint64(newLast));
    q.addBindValue(id);
    q.addBindValue(qint64(newLast));
    if (!db_.exec(q, error) || !insertSample(terminal, id, newLast, error)) return fail();
    if (!db_.commit(error)) return fail();
    return true;
}

bool PunchStore::countLost(const TerminalFacts &t, qint64 id, quint64 &newLast, QString &error)
{
    if (!t.hasMemory || t.firstAvailable == 0) return true;
    // Read under the transaction's lock (the row's on PostgreSQL): of two syncs of one terminal at
    // once, the second finds the last serial the first raised and counts nothing twice.
    QSqlQuery q(db_.sql());
    q.prepare(db_.postgres() ? QStringLiteral("SELECT last_serial FROM terminals WHERE id = ? FOR UPDATE")
                             : QStringLiteral("SELECT last_serial FROM terminals WHERE id = ?"));
    q.addBindValue(id);
    if (!db_.exec(q, error)) return false;
    const quint64 stored = q.next() ? q.value(0).toULongLong() : 0;
    // Everything below the oldest available serial is settled, collected or not: the last serial
    // rises past it so that a loss is counted once.
    newLast = qMax(newLast, t.firstAvailable - 1);
    if (t.firstAvailable <= stored + 1) return true;
    lost_ = qint64(t.firstAvailable - 1 - stored);
    QSqlQuery u(db_.sql());
    u.prepare(QStringLiteral("UPDATE terminals SET lost_total = lost_total + ?, lost_at = ? WHERE id = ?"));
    u.addBindValue(lost_);
    u.addBindValue(firstSeen_);
    u.addBindValue(id);
    return db_.exec(u, error);
}

bool PunchStore::insertSample(const TerminalFacts &t, qint64 id, quint64 lastSerial, QString &error)
{
    QSqlQuery q(db_.sql());
    q.prepare(QStringLiteral("INSERT INTO samples (terminal_id, at, held, capacity, last_serial, drift, lost) "
                             "VALUES (?, ?, ?, ?, ?, ?, ?) ON CONFLICT DO NOTHING"));
    q.addBindValue(id);
    q.addBindValue(firstSeen_);
    q.addBindValue(t.hasMemory ? QVariant(qint64(t.held)) : QVariant());
    q.addBindValue(t.hasMemory ? QVariant(qint64(t.capacity)) : QVariant());
    q.addBindValue(qint64(lastSerial));
    q.addBindValue(t.clockDrift);
    q.addBindValue(lost_);
    return db_.exec(q, error);
}
