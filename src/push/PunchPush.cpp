#include "push/PunchPush.h"

#include "push/PushClient.h"
#include "sync/Database.h"
#include "sync/PunchExport.h"
#include "sync/PunchRows.h"
#include "sync/SqlCursor.h"

#include <QDateTime>
#include <QSqlQuery>
#include <QThread>

namespace {

QByteArray keyOf(const QByteArray &identity, quint64 first, quint64 last)
{
    return identity + ':' + QByteArray::number(first) + '-' + identity + ':' + QByteArray::number(last);
}

// The start of an answer's body as one line of plain text.
QString answerText(const QByteArray &body)
{
    QString text = QString::fromUtf8(body.left(200)).simplified();
    for (QChar &c : text)
        if (!c.isPrint()) c = u'?';
    return text.isEmpty() ? QString() : QStringLiteral(": ") + text;
}

}  // namespace

PunchPush::PunchPush(Database &db, PushClient &client, const PushOptions &options)
    : pause([](int ms) { QThread::msleep(ulong(ms)); }), db_(db), client_(client), options_(options)
{
}

bool PunchPush::run(PushResult &result)
{
    // A mark lost with a power cut only sends a batch again, which its key makes recognisable: the
    // marks need not wait for the disk.
    QString error;
    if (!db_.postgres() && !db_.exec(QStringLiteral("PRAGMA synchronous=NORMAL"), error)) {
        result.error = error;
        result.databaseFailed = true;
        return false;
    }
    QList<QPair<qint64, QByteArray>> terminals;
    SqlCursor q(db_);
    if (q.exec(QStringLiteral("SELECT id, identity FROM terminals ORDER BY id"), {}, error))
        while (q.next()) terminals.append({q.integer(0), q.text(1).toByteArray()});
    if (!q.finish(error) || !error.isEmpty()) {
        result.error = error;
        result.databaseFailed = true;
        return false;
    }
    for (const auto &t : terminals)
        if (!pushTerminal(t.first, t.second, result)) return false;
    return true;
}

bool PunchPush::pushTerminal(qint64 terminalId, const QByteArray &identity, PushResult &result)
{
    QString error;
    quint64 mark = 0;
    const bool markRead = markOf(terminalId, mark, error);
    for (;;) {
        QByteArray body, answer;
        quint64 first = 0, last = 0;
        int count = 0, status = 0;
        if (!markRead || !batchOf(terminalId, mark, 0, body, first, last, count, error)) {
            result.error = error;
            result.databaseFailed = true;
            return false;
        }
        if (!count) return true;
        const QByteArray key = keyOf(identity, first, last);
        QString failure;
        const Outcome outcome = deliver(body, key, status, answer, failure);
        if (outcome == Outcome::Failed) {
            result.error = QStringLiteral("%1 %2 (batch %3, not delivered, nor anything after it)")
                               .arg(options_.destination, failure, QString::fromUtf8(key));
            return false;
        }
        if (!record(terminalId, last, outcome == Outcome::Refused ? &key : nullptr, first, status, answer, error)) {
            result.error = error;
            result.databaseFailed = true;
            return false;
        }
        ++result.batches;
        if (outcome == Outcome::Accepted)
            result.delivered += count;
        else
            ++result.dead;
        mark = last;
    }
}

bool PunchPush::markOf(qint64 terminalId, quint64 &mark, QString &error)
{
    SqlCursor m(db_);
    if (!m.exec(QStringLiteral("SELECT serial FROM push_marks WHERE destination = ? AND terminal_id = ?"),
                {options_.destination, terminalId}, error))
        return false;
    mark = m.next() ? quint64(m.integer(0)) : 0;
    return m.finish(error);
}

PunchPush::Outcome PunchPush::deliver(const QByteArray &body, const QByteArray &key, int &status, QByteArray &answer,
                                      QString &failure)
{
    int pauseMs = options_.firstPauseMs;
    for (int attempt = 1;; ++attempt) {
        const PushAnswer a = client_.post(body, key);
        status = a.status;
        answer = a.body;
        if (a.accepted()) return Outcome::Accepted;
        // A refusal of this batch, as it is: sending it again would not help.
        if (a.status >= 400 && a.status < 500 && a.status != 408 && a.status != 429) return Outcome::Refused;
        failure = a.status ? QStringLiteral("answered %1%2").arg(a.status).arg(answerText(a.body)) : a.failure;
        if (attempt >= options_.attempts) {
            failure += QStringLiteral(" (%1 attempts)").arg(attempt);
            return Outcome::Failed;
        }
        int wait = pauseMs;
        if (a.status == 429 && a.retryAfterSeconds >= 0)
            wait = a.retryAfterSeconds * 1000;
        else
            pauseMs = qMin(pauseMs * 2, 60000);
        pause(wait);
    }
}

bool PunchPush::batchOf(qint64 terminalId, quint64 after, quint64 through, QByteArray &body, quint64 &first,
                        quint64 &last, int &count, QString &error)
{
    body = "[";
    count = 0;
    const int limit = through ? int(qMin<quint64>(through - after, 1000000)) : options_.batch;
    const bool read = PunchRows::bySerial(
        db_, terminalId, after, limit,
        [&](const ExportRow &r) {
            if (count++)
                body.append(',');
            else
                first = r.serial;
            last = r.serial;
            PunchExport::appendJsonObject(r, body, false, true);
            return true;
        },
        error, through);
    body.append(']');
    return read;
}

bool PunchPush::record(qint64 terminalId, quint64 last, const QByteArray *refusedBatch, quint64 first, int status,
                       const QByteArray &answer, QString &error)
{
    if (!db_.begin(error)) return false;
    if (refusedBatch) {
        QSqlQuery dead(db_.sql());
        dead.prepare(QStringLiteral(
            "INSERT INTO push_dead (destination, terminal_id, first_serial, last_serial, status, answer, at) "
            "VALUES (?, ?, ?, ?, ?, ?, ?)"));
        for (const QVariant &v :
             QVariantList{options_.destination, terminalId, qint64(first), qint64(last), status,
                          QString::fromUtf8(answer), QDateTime::currentDateTimeUtc().toString(Qt::ISODate)})
            dead.addBindValue(v);
        if (!db_.exec(dead, error)) {
            db_.rollback();
            return false;
        }
    }
    QSqlQuery mark(db_.sql());
    mark.prepare(QStringLiteral("INSERT INTO push_marks (destination, terminal_id, serial) VALUES (?, ?, ?) "
                                "ON CONFLICT (destination, terminal_id) DO UPDATE SET serial = excluded.serial "
                                "WHERE push_marks.serial < excluded.serial"));
    mark.addBindValue(options_.destination);
    mark.addBindValue(terminalId);
    mark.addBindValue(qint64(last));
    if (!db_.exec(mark, error)) {
        db_.rollback();
        return false;
    }
    return db_.commit(error);
}

bool PunchPush::retryDead(PushResult &result)
{
    struct Dead {
        qint64 id, terminalId;
        quint64 first, last;
        QByteArray identity;
    };
    QList<Dead> batches;
    QString error;
    SqlCursor q(db_);
    if (q.exec(QStringLiteral("SELECT d.id, d.terminal_id, d.first_serial, d.last_serial, t.identity FROM push_dead d "
                              "JOIN terminals t ON t.id = d.terminal_id WHERE d.destination = ? ORDER BY d.id"),
               {options_.destination}, error))
        while (q.next())
            batches.append(
                {q.integer(0), q.integer(1), quint64(q.integer(2)), quint64(q.integer(3)), q.text(4).toByteArray()});
    if (!q.finish(error) || !error.isEmpty()) {
        result.error = error;
        result.databaseFailed = true;
        return false;
    }
    for (const Dead &d : batches) {
        QByteArray body, answer;
        quint64 first = 0, last = 0;
        int count = 0, status = 0;
        QString failure;
        if (!batchOf(d.terminalId, d.first - 1, d.last, body, first, last, count, error)) {
            result.error = error;
            result.databaseFailed = true;
            return false;
        }
        const Outcome outcome =
            count ? deliver(body, keyOf(d.identity, first, last), status, answer, failure) : Outcome::Accepted;
        if (outcome == Outcome::Failed) {
            result.error = QStringLiteral("%1 %2 (refused batch %3)")
                               .arg(options_.destination, failure, QString::fromUtf8(keyOf(d.identity, first, last)));
            return false;
        }
        QSqlQuery u(db_.sql());
        u.prepare(outcome == Outcome::Accepted
                      ? QStringLiteral("DELETE FROM push_dead WHERE id = ?")
                      : QStringLiteral("UPDATE push_dead SET status = ?, answer = ?, at = ? WHERE id = ?"));
        if (outcome == Outcome::Refused)
            for (const QVariant &v :
                 QVariantList{status, QString::fromUtf8(answer), QDateTime::currentDateTimeUtc().toString(Qt::ISODate)})
                u.addBindValue(v);
        u.addBindValue(d.id);
        if (!db_.exec(u, error)) {
            result.error = error;
            result.databaseFailed = true;
            return false;
        }
        ++result.batches;
        if (outcome == Outcome::Accepted)
            result.delivered += count;
        else
            ++result.dead;
    }
    return true;
}
