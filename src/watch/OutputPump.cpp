#include "watch/OutputPump.h"

#include "sync/Database.h"
#include "sync/PunchExport.h"
#include "sync/PunchRows.h"
#include "watch/PunchOutput.h"
#include "watch/WatchLog.h"

#include <QSqlQuery>


OutputPump::OutputPump(const DatabaseUrl &url, PunchOutput &output, std::function<bool(const QString &)> mine)
    : url_(url), output_(output), mine_(std::move(mine))
{
}
OutputPump::~OutputPump() = default;

bool OutputPump::prepare(QString &error)
{
    db_ = Database::open(url_, error, 10);
    const bool ok = db_ && startMarks(error);
    db_.reset();  // the pump's thread opens its own
    return ok;
}

void OutputPump::wake()
{
    std::lock_guard lock(mutex_);
    woken_ = true;
    wake_.notify_one();
}

void OutputPump::trouble(const QString &error)
{
    if (!down_)
        qCWarning(watchLog).noquote()
            << QStringLiteral("output %1: %2; its punches are handed on once it works again").arg(output_.name(), error);
    down_ = true;
    pauseMs_ = qBound(1000, pauseMs_ * 2, 30000);
}

bool OutputPump::ensureOpen()
{
    if (db_) return true;
    if (lastOpen_.isValid() && lastOpen_.elapsed() < 1000) return false;
    lastOpen_.start();
    QString error;
    db_ = Database::open(url_, error, 10);
    // A mark lost with a power cut means punches handed on again, never skipped: no sync to the disk
    // for each of them.
    if (db_ && (db_->postgres() || db_->exec(QStringLiteral("PRAGMA synchronous=NORMAL"), error))) return true;
    db_.reset();
    trouble(error);
    return false;
}

bool OutputPump::startMarks(QString &error)
{
    // The first run of an output starts at what is stored: a database with a year of punches is not
    // handed on whole. Terminal 0 notes that the output has run.
    if (!db_->begin(error)) return false;
    QSqlQuery q(db_->sql());
    q.prepare(QStringLiteral("INSERT INTO push_marks (destination, terminal_id, serial) SELECT ?, id, last_serial FROM "
                             "terminals WHERE NOT EXISTS (SELECT 1 FROM push_marks WHERE destination = ? AND "
                             "terminal_id = 0) UNION ALL SELECT ?, 0, 0 ON CONFLICT DO NOTHING"));
    q.addBindValue(output_.name());
    q.addBindValue(output_.name());
    q.addBindValue(output_.name());
    if (!db_->exec(q, error)) {
        db_->rollback();
        return false;
    }
    return db_->commit(error);
}

void OutputPump::run(const std::atomic<bool> &finish)
{
    for (;;) {
        const bool last = finish.load();
        if (!last) {
            std::unique_lock lock(mutex_);
            wake_.wait_for(lock, std::chrono::milliseconds(down_ ? pauseMs_ : 1000),
                           [&] { return woken_ || finish.load(); });
            woken_ = false;
        }
        QString error;
        if (ensureOpen()) {
            if (!deliverPending(error)) {
                if (db_ && error.startsWith(QLatin1String("database "))) db_.reset();
                trouble(error);
            } else if (down_) {
                qCWarning(watchLog).noquote() << QStringLiteral("output %1: working again").arg(output_.name());
                down_ = false;
                pauseMs_ = 0;
            }
        }
        if (last) return;
    }
}

bool OutputPump::deliverPending(QString &error)
{
    QSqlQuery q(db_->sql());
    q.prepare(QStringLiteral("SELECT t.id, t.last_serial, COALESCE(m.serial, 0), t.identity FROM terminals t LEFT JOIN "
                             "push_marks m ON m.destination = ? AND m.terminal_id = t.id "
                             "WHERE t.last_serial > COALESCE(m.serial, 0)"));
    q.addBindValue(output_.name());
    if (!db_->exec(q, error)) return false;
    struct Pending {
        qint64 id;
        quint64 last, mark;
    };
    std::vector<Pending> pending;
    while (q.next())
        if (mine_(q.value(3).toString()))
            pending.push_back({q.value(0).toLongLong(), q.value(1).toULongLong(), q.value(2).toULongLong()});
    q.finish();
    // The marks rise in one short transaction at the end of the round, never held across a delivery.
    std::vector<std::pair<qint64, quint64>> marks;
    bool delivered = true;
    for (const Pending &p : pending) {
        bool more = true;
        quint64 mark = p.mark;
        while (more && delivered) {
            const quint64 before = mark;
            delivered = deliverTerminal(p.id, mark, p.last, more, error);
            if (mark > before) marks.emplace_back(p.id, mark);
        }
        if (!delivered) break;
    }
    QString markError;
    if (!writeMarks(marks, markError)) {
        error = markError;
        return false;
    }
    return delivered;
}

bool OutputPump::writeMarks(const std::vector<std::pair<qint64, quint64>> &marks, QString &error)
{
    if (marks.empty()) return true;
    if (!db_->begin(error)) return false;
    QSqlQuery u(db_->sql());
    u.prepare(QStringLiteral("INSERT INTO push_marks (destination, terminal_id, serial) VALUES (?, ?, ?) ON CONFLICT "
                             "(destination, terminal_id) DO UPDATE SET serial = excluded.serial "
                             "WHERE excluded.serial > push_marks.serial"));
    for (const auto &[id, serial] : marks) {
        u.addBindValue(output_.name());
        u.addBindValue(id);
        u.addBindValue(qint64(serial));
        if (!db_->exec(u, error)) {
            db_->rollback();
            return false;
        }
    }
    return db_->commit(error);
}

bool OutputPump::deliverTerminal(qint64 id, quint64 &mark, quint64 lastSerial, bool &more, QString &error)
{
    more = false;
    // Each punch as `attctl export --format jsonl` writes it.
    QList<QByteArray> lines;
    std::vector<quint64> serials;
    QString terminal;
    if (!PunchRows::bySerial(
            *db_, id, mark, RowsPerDelivery,
            [&](const ExportRow &row) {
                QByteArray line;
                PunchExport::appendJsonObject(row, line, false, false);
                lines.append(line);
                serials.push_back(row.serial);
                terminal = QString::fromUtf8(row.terminal);
                return true;
            },
            error))
        return false;
    int taken = 0;
    if (!lines.isEmpty()) {
        taken = qBound(0, output_.deliver(terminal, lines, DeliverTimeoutMs, error), int(lines.size()));
        if (taken < lines.size() && error.isEmpty()) error = QStringLiteral("it took %1 of %2").arg(taken).arg(lines.size());
    }
    quint64 newMark = taken > 0 ? serials[size_t(taken - 1)] : mark;
    // Every punch up to the last serial stored went: the serials the terminal lost go with them.
    const bool all = taken == lines.size();
    if (all && lines.size() < RowsPerDelivery) newMark = qMax(newMark, lastSerial);
    mark = qMax(mark, newMark);
    if (!all) return false;
    more = lines.size() == RowsPerDelivery;
    return true;
}
