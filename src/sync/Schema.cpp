#include "sync/Schema.h"

#include "sync/Database.h"

#include <QStringList>
#include <QVariant>

namespace {

// Version 1: terminals by identity, the cards seen, the punches keyed by (terminal, serial). No foreign
// key: its check on every row is a fifth of a first sync, and the store writes a terminal's row in the
// same transaction as its punches.
QStringList version1(bool postgres)
{
    if (postgres)
        return {
            QStringLiteral("CREATE TABLE zevo_schema (version INTEGER NOT NULL)"),
            QStringLiteral("INSERT INTO zevo_schema (version) VALUES (0)"),
            QStringLiteral("CREATE TABLE terminals (id BIGSERIAL PRIMARY KEY, identity TEXT NOT NULL UNIQUE, "
                           "name TEXT NOT NULL, model TEXT, firmware TEXT, address INTEGER, line TEXT, "
                           "last_serial BIGINT NOT NULL DEFAULT 0, last_sync TIMESTAMP(0), clock_drift BIGINT)"),
            QStringLiteral("CREATE TABLE cards (card BIGINT PRIMARY KEY, job_number TEXT, name TEXT, "
                           "first_seen TIMESTAMP(0))"),
            QStringLiteral("CREATE TABLE punches (terminal_id BIGINT NOT NULL, "
                           "serial BIGINT NOT NULL, card BIGINT NOT NULL, at TIMESTAMP(0) NOT NULL, "
                           "flag TEXT NOT NULL, PRIMARY KEY (terminal_id, serial))"),
        };
    return {
        QStringLiteral("CREATE TABLE zevo_schema (version INTEGER NOT NULL)"),
        QStringLiteral("INSERT INTO zevo_schema (version) VALUES (0)"),
        QStringLiteral("CREATE TABLE terminals (id INTEGER PRIMARY KEY, identity TEXT NOT NULL UNIQUE, "
                       "name TEXT NOT NULL, model TEXT, firmware TEXT, address INTEGER, line TEXT, "
                       "last_serial INTEGER NOT NULL DEFAULT 0, last_sync TEXT, clock_drift INTEGER)"),
        QStringLiteral("CREATE TABLE cards (card INTEGER PRIMARY KEY, job_number TEXT, name TEXT, first_seen TEXT)"),
        QStringLiteral("CREATE TABLE punches (terminal_id INTEGER NOT NULL, "
                       "serial INTEGER NOT NULL, card INTEGER NOT NULL, at TEXT NOT NULL, flag TEXT NOT NULL, "
                       "PRIMARY KEY (terminal_id, serial)) WITHOUT ROWID"),
    };
}

// Version 2: each terminal's memory and health (capacity, records held, records lost before they were
// collected, when it last answered, why its last sync failed), a sample of it per sync for history and
// forecasts, each sync run for the metrics, and why a punch's time is suspect. Only suspect punches
// enter the index that counts them.
QStringList version2(bool postgres)
{
    const QString time = postgres ? QStringLiteral("TIMESTAMP(0)") : QStringLiteral("TEXT");
    const QString integer = postgres ? QStringLiteral("BIGINT") : QStringLiteral("INTEGER");
    const QString serialKey =
        postgres ? QStringLiteral("BIGSERIAL PRIMARY KEY") : QStringLiteral("INTEGER PRIMARY KEY");
    QStringList s;
    for (const QString &column :
         {QStringLiteral("capacity %1").arg(integer), QStringLiteral("held %1").arg(integer),
          QStringLiteral("oldest_serial %1 NOT NULL DEFAULT 0").arg(integer),
          QStringLiteral("lost_total %1 NOT NULL DEFAULT 0").arg(integer), QStringLiteral("lost_at %1").arg(time),
          QStringLiteral("last_seen %1").arg(time), QStringLiteral("last_error TEXT NOT NULL DEFAULT ''")})
        s << QStringLiteral("ALTER TABLE terminals ADD COLUMN ") + column;
    s << QStringLiteral(
             "CREATE TABLE samples (terminal_id %1 NOT NULL, at %2 NOT NULL, held %1, capacity %1, "
             "last_serial %1 NOT NULL, drift %1, lost %1 NOT NULL DEFAULT 0, PRIMARY KEY (terminal_id, at))%3")
             .arg(integer, time, postgres ? QString() : QStringLiteral(" WITHOUT ROWID"));
    s << QStringLiteral("CREATE TABLE sync_runs (id %1, at %2 NOT NULL, seconds DOUBLE PRECISION NOT NULL, "
                        "terminals INTEGER NOT NULL, failed INTEGER NOT NULL, records %3 NOT NULL)")
             .arg(serialKey, time, integer);
    s << QStringLiteral("ALTER TABLE punches ADD COLUMN suspect TEXT NOT NULL DEFAULT ''");
    s << QStringLiteral("CREATE INDEX punches_suspect ON punches (terminal_id) WHERE suspect <> ''");
    return s;
}

// Version 3: the rosters the terminals hold, as `roster pull` read them: which terminals let a card in.
QStringList rosterTable(bool postgres)
{
    const QString integer = postgres ? QStringLiteral("BIGINT") : QStringLiteral("INTEGER");
    const QString time = postgres ? QStringLiteral("TIMESTAMP(0)") : QStringLiteral("TEXT");
    return {
        QStringLiteral("CREATE TABLE rosters (identity TEXT NOT NULL, terminal TEXT NOT NULL, card %1 NOT NULL, "
                       "job_number TEXT NOT NULL, name TEXT NOT NULL, pulled_at %2 NOT NULL, "
                       "PRIMARY KEY (identity, card))")
            .arg(integer, time),
        QStringLiteral("CREATE INDEX rosters_card ON rosters (card)"),
    };
}

// Version 4: time zones, delivery and ranges of time: each terminal's zone (an IANA name; empty for the
// computer's), each punch's UTC offset as placed when it was stored (empty for punches stored before:
// they are read in their terminal's zone) and whether its time fell in a spring daylight-saving gap;
// per destination of a push, the newest serial delivered of each terminal and the batches it refused.
// An index on the time serves a day's export and report. On SQLite it is each terminal's time, which
// a sync extends at its end (one on the time alone takes a fleet's first sync four times as long: each
// terminal's transaction rewrites pages all over it); on PostgreSQL a BRIN index on the time, a few
// pages for any number of punches.
QStringList zonesAndDelivery(bool postgres)
{
    const QString integer = postgres ? QStringLiteral("BIGINT") : QStringLiteral("INTEGER");
    return {
        QStringLiteral("ALTER TABLE terminals ADD COLUMN timezone TEXT NOT NULL DEFAULT ''"),
        QStringLiteral("ALTER TABLE punches ADD COLUMN utc_offset INTEGER"),
        QStringLiteral("ALTER TABLE punches ADD COLUMN dst_gap SMALLINT NOT NULL DEFAULT 0"),
        QStringLiteral(
            "CREATE TABLE push_marks (destination TEXT NOT NULL, terminal_id %1 NOT NULL, serial %1 NOT NULL, "
            "PRIMARY KEY (destination, terminal_id))")
            .arg(integer),
        QStringLiteral(
            "CREATE TABLE push_dead (id %1, destination TEXT NOT NULL, terminal_id %2 NOT NULL, "
            "first_serial %2 NOT NULL, last_serial %2 NOT NULL, status INTEGER NOT NULL, answer TEXT NOT NULL, "
            "at TEXT NOT NULL)")
            .arg(postgres ? QStringLiteral("BIGSERIAL PRIMARY KEY") : QStringLiteral("INTEGER PRIMARY KEY"), integer),
        postgres ? QStringLiteral("CREATE INDEX punches_at ON punches USING brin (at)")
                 : QStringLiteral("CREATE INDEX punches_at ON punches (terminal_id, at)"),
    };
}

// The steps from version n-1 to n, index n-1.
QList<QStringList> steps(bool postgres)
{
    return {version1(postgres), version2(postgres), rosterTable(postgres), zonesAndDelivery(postgres)};
}

bool hasSchemaTable(Database &db, bool &has, QString &error)
{
    const auto v = db.value(db.postgres() ? QStringLiteral("SELECT to_regclass('zevo_schema') IS NOT NULL")
                                          : QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' "
                                                           "AND name = 'zevo_schema'"),
                            error);
    if (!v) return false;
    has = v->toBool();
    return true;
}

}  // namespace

namespace Schema {

int version(Database &db, QString &error)
{
    bool has = false;
    if (!hasSchemaTable(db, has, error)) return -1;
    if (!has) return 0;
    const auto v = db.value(QStringLiteral("SELECT max(version) FROM zevo_schema"), error);
    if (!v) return -1;
    return v->toInt();
}

bool migrate(Database &db, QString &error, int target)
{
    if (!db.begin(error)) return false;
    // Concurrent first runs against one server: the second waits here and then finds the tables made.
    if (db.postgres() && !db.exec(QStringLiteral("SELECT pg_advisory_xact_lock(7419230001)"), error)) {
        db.rollback();
        return false;
    }
    const int at = usableVersion(db, error);
    if (at < 0) {
        db.rollback();
        return false;
    }
    const QList<QStringList> all = steps(db.postgres());
    for (int v = at + 1; v <= qMin(target, Current); ++v) {
        for (const QString &statement : all[v - 1])
            if (!db.exec(statement, error)) {
                db.rollback();
                return false;
            }
        if (!db.exec(QStringLiteral("UPDATE zevo_schema SET version = %1").arg(v), error)) {
            db.rollback();
            return false;
        }
    }
    return db.commit(error);
}

int usableVersion(Database &db, QString &error)
{
    const int at = version(db, error);
    if (at <= Current) return at;
    error = db.failure(QStringLiteral("cannot use"),
                       QStringLiteral("its schema version %1 is newer than this program's %2").arg(at).arg(Current));
    return -1;
}

bool readable(Database &db, const QString &purpose, QString &error)
{
    const int found = usableVersion(db, error);
    if (found < 0) return false;
    if (found == Current) return true;
    error = db.failure(purpose,
                       found == 0 ? QStringLiteral("it holds nothing yet (no sync has run)")
                                  : QStringLiteral("its schema version %1 is older than this program's %2 (a sync "
                                                   "brings it up)")
                                        .arg(found)
                                        .arg(Current));
    return false;
}

bool checkWritable(Database &db, QString &error)
{
    QString why;
    if (!db.begin(why) || !db.exec(QStringLiteral("UPDATE zevo_schema SET version = version"), why)
        || !db.exec(QStringLiteral("UPDATE terminals SET name = name WHERE id = 0"), why)
        || !db.exec(QStringLiteral("DELETE FROM punches WHERE terminal_id = 0 AND serial = 0"), why)) {
        db.rollback();
        error = why.startsWith(QLatin1String("database "))
            ? why + QStringLiteral(" (the database does not accept writes)")
            : why;
        return false;
    }
    db.rollback();
    return true;
}

}  // namespace Schema
