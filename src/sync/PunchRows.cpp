#include "sync/PunchRows.h"

#include "sync/Database.h"
#include "sync/Punch.h"
#include "sync/SqlCursor.h"
#include "sync/ZoneClock.h"

#include <QHash>
#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

namespace {

// A wall-clock time that does not exist in the terminal's zone (a spring daylight-saving gap).
constexpr const char *DstGapText = "in a daylight-saving gap";

struct TerminalEntry {
    QByteArray name, identity;
    int address = 0;
    std::shared_ptr<ZoneClock> zone;  // made when a punch without an offset needs it
    QString zoneName;
    qint64 previousUtc = ZoneClock::NoPrevious;
};

using Terminals = QHash<qint64, TerminalEntry>;

// Every terminal, or the one of `onlyId` (a live output reads one terminal many times a second: the
// whole table each time cost it more than its punches).
bool loadTerminals(Database &db, Terminals &terminals, QString &error, std::optional<qint64> onlyId = std::nullopt)
{
    SqlCursor q(db);
    const QString sql = QStringLiteral("SELECT id, name, identity, address, timezone FROM terminals");
    if (!(onlyId ? q.exec(sql + QStringLiteral(" WHERE id = ?"), {*onlyId}, error) : q.exec(sql, {}, error)))
        return false;
    while (q.next()) {
        TerminalEntry &t = terminals[q.integer(0)];
        t.name = q.text(1).toByteArray();
        t.identity = q.text(2).toByteArray();
        t.address = int(q.integer(3));
        t.zoneName = QString::fromUtf8(q.text(4));
    }
    return q.finish(error);
}

// The columns every reading selects, in the order rowOf() takes them.
QString columns(bool postgres)
{
    return QStringLiteral("terminal_id, serial, card, %1, flag, utc_offset, dst_gap, suspect")
        .arg(postgres ? QStringLiteral("to_char(at, 'YYYY-MM-DD HH24:MI:SS')") : QStringLiteral("at"));
}

// "yyyy-MM-dd HH:mm:ss" as a stamp; 0 when it is not that.
quint64 stampOfText(QByteArrayView t)
{
    if (t.size() != 19) return 0;
    quint64 stamp = 0;
    for (int i = 0; i < 19; ++i) {
        if (i == 4 || i == 7 || i == 10 || i == 13 || i == 16) continue;
        const char c = t[i];
        if (c < '0' || c > '9') return 0;
        stamp = stamp * 10 + quint64(c - '0');
    }
    return stamp;
}

// A row of the cursor; false for a terminal that is not in the terminals table.
bool rowOf(const SqlCursor &q, Terminals &terminals, ExportRow &r)
{
    const auto t = terminals.find(q.integer(0));
    if (t == terminals.end()) return false;
    r.terminal = t->name;
    r.identity = t->identity;
    r.address = t->address;
    r.serial = quint64(q.integer(1));
    r.card = uint32_t(q.integer(2));
    r.stamp = stampOfText(q.text(3));
    r.flag = q.text(4).toByteArray();
    if (q.isNull(5)) {
        if (!t->zone) t->zone = std::make_shared<ZoneClock>(t->zoneName);
        const ZoneClock::Placement at = t->zone->place(r.stamp, t->previousUtc);
        r.utcOffset = at.offset;
        r.dstGap = at.gap;
        t->previousUtc = PunchTime::secondsOf(r.stamp) - r.utcOffset;
    } else {
        r.utcOffset = int(q.integer(5));
        r.dstGap = q.integer(6) != 0;
    }
    r.suspect = q.text(7).toByteArray();
    if (r.dstGap) r.suspect.append(r.suspect.isEmpty() ? "" : "; ").append(DstGapText);
    return true;
}

bool byIdentityAndSerial(const ExportRow &a, const ExportRow &b)
{
    const int c = a.identity.compare(b.identity);
    return c != 0 ? c < 0 : a.serial < b.serial;
}

bool byTimeIdentityAndSerial(const ExportRow &a, const ExportRow &b)
{
    return a.stamp != b.stamp ? a.stamp < b.stamp : byIdentityAndSerial(a, b);
}

// The time range (and card) of a filter as SQL conditions, and their values.
QString timeRange(const ExportFilter &filter, bool postgres, QVariantList &binds)
{
    const QString time = postgres ? QStringLiteral("CAST(? AS TIMESTAMP)") : QStringLiteral("?");
    QString sql;
    if (!filter.from.isEmpty()) {
        sql += QStringLiteral(" AND at >= ") + time;
        binds << filter.from;
    }
    if (!filter.until.isEmpty()) {
        sql += QStringLiteral(" AND at < ") + time;
        binds << filter.until;
    }
    if (filter.card) {
        sql += QStringLiteral(" AND card = ?");
        binds << qint64(*filter.card);
    }
    return sql;
}

// SQLite: each terminal's punches in the order of its index on (terminal, time), which a sync
// extends at its end, merged here into one order of time, identity and serial.
bool mergeTerminals(Database &db, Terminals &terminals, const QList<qint64> &ids, const ExportFilter &filter,
                    const PunchRows::Each &each, QString &error)
{
    struct Stream {
        std::unique_ptr<SqlCursor> cursor;
        ExportRow row;
    };
    std::vector<Stream> streams;
    std::vector<size_t> heap;  // indices of streams with a row, the earliest first
    auto later = [&](size_t a, size_t b) { return byTimeIdentityAndSerial(streams[b].row, streams[a].row); };
    for (qint64 id : ids) {
        QVariantList binds{id};
        const QString sql = QStringLiteral("SELECT %1 FROM punches WHERE terminal_id = ?%2 ORDER BY at, serial")
                                .arg(columns(false), timeRange(filter, false, binds));
        Stream s{std::make_unique<SqlCursor>(db), {}};
        if (!s.cursor->exec(sql, binds, error)) return false;
        if (s.cursor->next() && rowOf(*s.cursor, terminals, s.row)) {
            streams.push_back(std::move(s));
            heap.push_back(streams.size() - 1);
        } else if (!s.cursor->finish(error)) {
            return false;
        }
    }
    std::make_heap(heap.begin(), heap.end(), later);
    while (!heap.empty()) {
        std::pop_heap(heap.begin(), heap.end(), later);
        Stream &s = streams[heap.back()];
        if (!each(s.row)) return false;
        if (s.cursor->next() && rowOf(*s.cursor, terminals, s.row))
            std::push_heap(heap.begin(), heap.end(), later);
        else if (!s.cursor->finish(error))
            return false;
        else
            heap.pop_back();
    }
    return true;
}

}  // namespace

namespace PunchRows {

bool byTime(Database &db, const ExportFilter &filter, const Each &each, QString &error)
{
    Terminals terminals;
    if (!loadTerminals(db, terminals, error)) return false;
    QList<qint64> ids;
    const QByteArray name = filter.terminal.toUtf8();
    for (auto t = terminals.cbegin(); t != terminals.cend(); ++t)
        if (filter.terminal.isEmpty() || t->name == name) ids << t.key();
    const bool ranged = !filter.from.isEmpty() || !filter.until.isEmpty();
    if (!db.postgres() && ranged) return mergeTerminals(db, terminals, ids, filter, each, error);

    // Everything, or on PostgreSQL (whose BRIN index finds the pages of a range): sorted by time in
    // the database, the few punches of one second put in order here.
    QVariantList binds;
    QString sql = QStringLiteral("SELECT %1 FROM punches WHERE 1 = 1%2")
                      .arg(columns(db.postgres()), timeRange(filter, db.postgres(), binds));
    if (!filter.terminal.isEmpty()) {
        QStringList idTexts;
        for (qint64 id : ids) idTexts << QString::number(id);
        sql += QStringLiteral(" AND terminal_id IN (%1)")
                   .arg(idTexts.isEmpty() ? QStringLiteral("NULL") : idTexts.join(u','));
    }
    sql += QStringLiteral(" ORDER BY at");
    SqlCursor q(db);
    if (!q.exec(sql, binds, error)) return false;
    std::vector<ExportRow> second;
    auto flush = [&] {
        if (second.size() > 1) std::sort(second.begin(), second.end(), byIdentityAndSerial);
        for (const ExportRow &r : second)
            if (!each(r)) return false;
        second.clear();
        return true;
    };
    ExportRow r;
    while (q.next()) {
        if (!rowOf(q, terminals, r)) continue;
        if (!second.empty() && second.front().stamp != r.stamp && !flush()) return false;
        second.push_back(r);
    }
    if (!q.finish(error)) return false;
    return flush();
}

bool bySerial(Database &db, qint64 terminalId, quint64 after, int limit, const Each &each, QString &error,
              quint64 through)
{
    Terminals terminals;
    if (!loadTerminals(db, terminals, error, terminalId)) return false;
    QString sql =
        QStringLiteral("SELECT %1 FROM punches WHERE terminal_id = ? AND serial > ?").arg(columns(db.postgres()));
    QVariantList binds{terminalId, qint64(after)};
    if (through) {
        sql += QStringLiteral(" AND serial <= ?");
        binds << qint64(through);
    }
    sql += QStringLiteral(" ORDER BY serial LIMIT %1").arg(limit);
    SqlCursor q(db);
    if (!q.exec(sql, binds, error)) return false;
    ExportRow r;
    while (q.next())
        if (rowOf(q, terminals, r) && !each(r)) return false;
    return q.finish(error);
}

}  // namespace PunchRows
