#include "fleetcards/RosterStore.h"

#include "attlink/protocol/RecordWire.h"
#include "common/CsvText.h"
#include "sync/Database.h"

#include <QDateTime>
#include <QSqlQuery>
#include <QStringDecoder>

#include <optional>

bool RosterStore::replace(const QString &identity, const QString &terminal,
                          const std::vector<PackedRosterEntry> &entries, QString &error)
{
    std::optional<QMutexLocker<QMutex>> hold;
    if (gate_) hold.emplace(gate_);
    if (!db_.begin(error)) return false;
    QSqlQuery del(db_.sql());
    del.prepare(QStringLiteral("DELETE FROM rosters WHERE identity = ?"));
    del.addBindValue(identity);
    bool ok = db_.exec(del, error);
    const QString pulledAt = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    for (size_t from = 0; ok && from < entries.size(); from += BatchRows)
        ok = insert(identity, terminal, pulledAt, entries.data() + from,
                    int(qMin<size_t>(BatchRows, entries.size() - from)), error);
    if (ok && db_.commit(error)) return true;
    db_.rollback();
    return false;
}

bool RosterStore::insert(const QString &identity, const QString &terminal, const QString &pulledAt,
                         const PackedRosterEntry *entries, int count, QString &error)
{
    QString sql = QStringLiteral("INSERT INTO rosters (identity, terminal, card, job_number, name, pulled_at) VALUES ");
    for (int i = 0; i < count; ++i) sql += i ? QStringLiteral(",(?,?,?,?,?,?)") : QStringLiteral("(?,?,?,?,?,?)");
    QSqlQuery q(db_.sql());
    if (!q.prepare(sql)) return db_.failed(q, QStringLiteral("cannot store the roster"), error);
    QStringDecoder gb18030("GB18030");
    for (int i = 0; i < count; ++i) {
        q.addBindValue(identity);
        q.addBindValue(terminal);
        q.addBindValue(qint64(entries[i].card));
        q.addBindValue(QString::fromLatin1(entries[i].jobNo));
        gb18030.resetState();
        q.addBindValue(QString(gb18030.decode(entries[i].name)));
        q.addBindValue(pulledAt);
    }
    return db_.exec(q, error);
}

namespace RosterExport {

bool writeCsv(Database &db, const PunchExport::Sink &out, qint64 &rows, QString &error)
{
    rows = 0;
    QSqlQuery q(db.sql());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT terminal, identity, card, job_number, name, pulled_at FROM rosters "
                             "ORDER BY card, identity"));
    if (!db.exec(q, error)) return false;
    QByteArray piece = "terminal,identity,card,card_hex,job_number,name,pulled_at\r\n";
    while (q.next()) {
        const uint32_t card = uint32_t(q.value(2).toLongLong());
        CsvText::appendField(piece, q.value(0).toString().toUtf8());
        piece.append(',');
        CsvText::appendField(piece, q.value(1).toString().toUtf8());
        piece.append(',')
            .append(RecordWire::cardDecimal(card).toLatin1())
            .append(',')
            .append(RecordWire::cardHex(card).toLatin1())
            .append(',');
        CsvText::appendField(piece, q.value(3).toString().toUtf8());
        piece.append(',');
        CsvText::appendField(piece, q.value(4).toString().toUtf8());
        // PostgreSQL gives a timestamp, SQLite the text it keeps.
        const QVariant at = q.value(5);
        piece.append(',')
            .append((at.typeId() == QMetaType::QDateTime
                         ? at.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                         : at.toString())
                        .toUtf8())
            .append("\r\n");
        ++rows;
        if (piece.size() >= 64 * 1024) {
            if (!out(piece)) return false;
            piece.clear();
        }
    }
    return out(piece);
}

}  // namespace RosterExport
