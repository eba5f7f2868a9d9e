#include "sync/PunchStore.h"

#include "sync/Database.h"

#include <QSqlQuery>
#include <QVariant>
#include <limits>
#include <vector>

namespace {

constexpr quint64 LargestSerial = quint64(std::numeric_limits<qint64>::max());

void appendNumber(QByteArray &sql, quint64 n)
{
    char digits[20];
    int i = 0;
    do {
        digits[i++] = char('0' + n % 10);
        n /= 10;
    } while (n);
    while (i) sql.append(digits[--i]);
}

// A flag as an SQL literal: its four characters, quotes doubled, anything unprintable as '?'.
void appendFlag(QByteArray &sql, const std::array<char, 4> &flag)
{
    sql.append('\'');
    for (char c : flag) {
        if (c == '\'') sql.append("''");
        else sql.append(c >= 0x20 && c < 0x7f ? c : '?');
    }
    sql.append('\'');
}

}  // namespace

bool PunchStore::lastSerial(const QString &identity, quint64 &serial, QString &error)
{
    QSqlQuery q(db_.sql());
    q.prepare(QStringLiteral("SELECT last_serial FROM terminals WHERE identity = ?"));
    q.addBindValue(identity);
    if (!db_.exec(q, error)) return false;
    serial = q.next() ? q.value(0).toULongLong() : 0;
    return true;
}

bool PunchStore::upsertTerminal(const TerminalFacts &t, qint64 &id, QString &error)
{
    QSqlQuery q(db_.sql());
    q.prepare(QStringLiteral("INSERT INTO terminals (identity, name, model, firmware, address, line, last_sync, clock_drift) "
                             "VALUES (?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT (identity) DO UPDATE SET name = excluded.name, "
                             "model = excluded.model, firmware = excluded.firmware, address = excluded.address, "
                             "line = excluded.line, last_sync = excluded.last_sync, clock_drift = excluded.clock_drift"));
    q.addBindValue(t.identity);
    q.addBindValue(t.name);
    q.addBindValue(t.model);
    q.addBindValue(t.firmware);
    q.addBindValue(t.address);
    q.addBindValue(t.line);
    q.addBindValue(t.syncedAt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    q.addBindValue(t.clockDrift);
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

bool PunchStore::insertBatch(qint64 terminalId, const Punch *punches, int count, qint64 &inserted, QString &error)
{
    // One statement of literal rows: every value is a number or a four-character flag quoted here,
    // and a statement per thousand rows is what makes a fleet's first sync fast on both databases.
    QByteArray sql;
    sql.reserve(64 + count * 64);
    sql.append("INSERT INTO punches (terminal_id, serial, card, at, flag) VALUES ");
    QByteArray id;
    appendNumber(id, quint64(terminalId));
    char time[19];
    for (int i = 0; i < count; ++i) {
        const Punch &p = punches[i];
        if (p.serial == 0 || p.serial > LargestSerial) {
            error = db_.failure(QStringLiteral("store"), QStringLiteral("serial %1 is out of range").arg(p.serial));
            return false;
        }
        if (i) sql.append(',');
        sql.append('(').append(id).append(',');
        appendNumber(sql, p.serial);
        sql.append(',');
        appendNumber(sql, p.card);
        sql.append(",'");
        PunchTime::writeText(p.stamp, time, false);
        sql.append(time, 19).append("',");
        appendFlag(sql, p.flag);
        sql.append(')');
        if (!knownCards_.contains(p.card)) {
            knownCards_.insert(p.card);
            newCards_.append(p.card);
        }
    }
    sql.append(" ON CONFLICT DO NOTHING");
    QSqlQuery q(db_.sql());
    if (!q.exec(QString::fromLatin1(sql))) return db_.failed(q, QStringLiteral("insert punches"), error);
    inserted += qMax(0, q.numRowsAffected());
    return true;
}

bool PunchStore::insertCards(QString &error)
{
    if (newCards_.isEmpty()) return true;
    QByteArray sql("INSERT INTO cards (card, first_seen) VALUES ");
    for (qsizetype i = 0; i < newCards_.size(); ++i) {
        if (i) sql.append(',');
        sql.append('(');
        appendNumber(sql, newCards_[i]);
        sql.append(",'").append(firstSeen_.toLatin1()).append("')");
    }
    sql.append(" ON CONFLICT DO NOTHING");
    newCards_.clear();
    return db_.exec(QString::fromLatin1(sql), error);
}

bool PunchStore::store(const TerminalFacts &terminal, const std::function<bool(Punch &, QString &)> &next,
                       quint64 newLast, qint64 &inserted, QString &error)
{
    inserted = 0;
    if (newLast > LargestSerial) {
        error = db_.failure(QStringLiteral("store"), QStringLiteral("serial %1 is out of range").arg(newLast));
        return false;
    }
    if (!db_.begin(error)) return false;
    // Cards remembered by this store may belong to a transaction that was rolled back.
    const QSet<uint32_t> cardsBefore = knownCards_;
    auto fail = [&] {
        db_.rollback();
        knownCards_ = cardsBefore;
        newCards_.clear();
        inserted = 0;
        return false;
    };
    qint64 id = 0;
    if (!upsertTerminal(terminal, id, error)) return fail();
    std::vector<Punch> batch(BatchRows);
    int filled = 0;
    QString sourceError;
    for (;;) {
        const bool more = next(batch[filled], sourceError);
        if (!sourceError.isEmpty()) {
            error = sourceError;
            return fail();
        }
        if (more) ++filled;
        if (filled == BatchRows || (!more && filled > 0)) {
            if (!insertBatch(id, batch.data(), filled, inserted, error) || !insertCards(error)) return fail();
            filled = 0;
        }
        if (!more) break;
    }
    QSqlQuery q(db_.sql());
    // Raised, never lowered: another sync may have stored further meanwhile.
    q.prepare(QStringLiteral("UPDATE terminals SET last_serial = ? WHERE id = ? AND last_serial < ?"));
    q.addBindValue(qint64(newLast));
    q.addBindValue(id);
    q.addBindValue(qint64(newLast));
    if (!db_.exec(q, error)) return fail();
    if (!db_.commit(error)) return fail();
    return true;
}
