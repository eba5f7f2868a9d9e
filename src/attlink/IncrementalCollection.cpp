// Protocol 2's incremental collection: the terminal's identity, the records after a serial, and the
// deletion of records up to a serial (docs/protocol.md, "Incremental collection").
#include "attlink/AttLink.h"

#include "attlink/protocol/BlockHeaders.h"
#include "attlink/protocol/Fields.h"

#include "attlink/SinceReplyCheck.h"
#include "attlink/WireTrace.h"

#include <QDate>
#include <QElapsedTimer>
#include <QRegularExpression>

bool AttLink::failWith(const QString &why)
{
    lastError_ = why;
    return false;
}

bool AttLink::failWith(const Exchange::Reply &r)
{
    if (!r.answered) return failWith(Exchange::failureText(r.failure, exchange().lastDeadlineMs));
    switch (r.status) {
    case ReplyStatus::Refused: return failWith(QStringLiteral("refused by the terminal"));
    case ReplyStatus::Unknown: return failWith(QStringLiteral("the terminal does not know the command (firmware without protocol 2)"));
    case ReplyStatus::BadRequest: return failWith(QStringLiteral("the terminal rejected the request as malformed"));
    case ReplyStatus::NotSupported: return failWith(QStringLiteral("not supported by the terminal's firmware"));
    default: return failWith(QStringLiteral("unexpected reply status"));
    }
}

int AttLink::recordsPerRequest()
{
    // On TCP straight to the terminal a reply as large as a frame allows; on a serial line, or behind a
    // converter of known or observed rate, about a second of the line, so that a damaged or late
    // reply costs little to ask again.
    const Exchange &x = exchange();
    if (mode_ == 1 && settings_.tcpBaud == 0 && x.lineBaud() >= Exchange::TcpAllowanceBaud) return 64 * RecordsPerPacket;
    return qBound(RecordsPerPacket, x.lineBaud() / 9600 * RecordsPerPacket, 16 * RecordsPerPacket);
}

bool AttLink::askLessAfterSlowReply(int &asked, const QString &unit)
{
    // A reply that ran late while it kept coming: the exchange now allows for the rate it came at;
    // asking for less keeps each reply about a second of that line.
    const int fewer = qMin(recordsPerRequest(), asked / 2);
    if (!exchange().slowedDown() || fewer < RecordsPerPacket || fewer >= asked) return false;
    if (WireTrace::enabled())
        WireTrace::note(QStringLiteral("asking for %1 %3 a request instead of %2").arg(fewer).arg(asked).arg(unit));
    asked = fewer;
    return true;
}

qint64 AttLink::collectionDeadlineMs(qint64 records)
{
    // Four times what the records take on the line at about 8 bytes each, and a minute; an hour at
    // most, so that a terminal claiming billions of records cannot hold its line for days.
    if (settings_.collectionDeadlineS > 0) return qint64(settings_.collectionDeadlineS) * 1000;
    const qint64 lineMs = records * 80 * 1000 / exchange().lineBaud();
    return qMin<qint64>(60000 + 4 * lineMs, 3600000);
}

bool AttLink::identify(int address, TerminalIdentity &out)
{
    lastError_.clear();
    if (address < 0 || address > 255) return failWith(QStringLiteral("address not valid (0..255)"));
    const Exchange::Reply r = ask(address, Command::Identify);
    if (!r.ok()) return failWith(r);
    const QStringList f = Fields::split(r.data);
    if (f.size() < 6) return failWith(QStringLiteral("the terminal does not tell its identity (firmware without protocol 2)"));
    TerminalIdentity id;
    id.model = f[0];
    id.firmware = f[1];
    bool addressOk = false, serialOk = false;
    id.address = f[2].toInt(&addressOk);
    id.identity = f[3];
    id.clock = QDateTime(QDate::fromString(f[4].left(8), QStringLiteral("yyyyMMdd")),
                         QTime::fromString(f[4].mid(8), QStringLiteral("HHmmss")), Qt::UTC);
    id.lastSerial = f[5].toULongLong(&serialOk);
    static const QRegularExpression hex(QStringLiteral("^[0-9A-F]{1,32}$"));
    if (!QDate::fromString(id.firmware, QStringLiteral("yyyy-MM-dd")).isValid() || !addressOk || id.address < 0
        || id.address > 255 || !hex.match(id.identity).hasMatch() || f[4].size() != 14 || !id.clock.isValid()
        || !serialOk || id.model.isEmpty() || id.model.size() > 32)
        return failWith(QStringLiteral("damaged identity in the terminal's reply"));
    out = id;
    return true;
}

bool AttLink::recordBatchesSince(int address, quint64 since,
                                 const std::function<bool(const std::vector<PackedRecord> &)> &sink,
                                 quint64 &lastSerial)
{
    lastError_.clear();
    skipped_ = {};
    lastSerial = since;
    if (address < 0 || address > 255) return failWith(QStringLiteral("address not valid (0..255)"));
    int perRequest = recordsPerRequest();
    std::vector<PackedRecord> batch;
    SinceReplyCheck check;
    QElapsedTimer clock;
    clock.start();
    qint64 deadlineMs = 0, done = 0;
    for (quint64 last = since;;) {
        const Exchange::Reply r = exchange().request(uint8_t(address), Command::RecordsSince,
                                                     BlockHeaders::encode(BlockHeaders::SinceRequest{last, uint32_t(perRequest)}));
        if (!r.ok() && askLessAfterSlowReply(perRequest, QStringLiteral("records"))) continue;
        if (!r.ok()) return failWith(r);
        BlockHeaders::SinceReply h;
        QString why;
        if (!BlockHeaders::decode(r.data, h)) return failWith(QStringLiteral("damaged reply: short header"));
        if (!RecordBlock::decode(r.data.constData() + BlockHeaders::SinceReplySize,
                                 r.data.size() - BlockHeaders::SinceReplySize, batch, why))
            return failWith(QStringLiteral("damaged reply: ") + why);
        // What the terminal says must agree with itself and with what came before.
        why = check.accept(last, uint32_t(perRequest), h, batch);
        if (!why.isEmpty()) return failWith(QStringLiteral("damaged reply: ") + why);
        skipped_ = check.gap();
        if (deadlineMs == 0) deadlineMs = collectionDeadlineMs(check.expected());
        if (batch.empty()) break;
        if (!sink(batch)) return failWith(QStringLiteral("abandoned by the caller"));
        last = batch.back().serial;
        lastSerial = last;
        done += qint64(batch.size());
        reportProgress(done, qMax(done, check.expected()));
        // Records stored from the first reply on are left for the next collection.
        if (last >= check.target() || batch.size() == h.remaining) break;
        if (clock.elapsed() > deadlineMs)
            return failWith(QStringLiteral("the collection did not end within %1 s (%2 of the %3 records held when it began)")
                                .arg(deadlineMs / 1000).arg(done).arg(check.expected()));
    }
    return true;
}

bool AttLink::recordsSince(int address, quint64 since, const std::function<bool(const SerialRecord &)> &sink,
                           quint64 &lastSerial)
{
    // One record object reused: its flag is written in place unless the sink kept a copy of it.
    SerialRecord rec;
    rec.flag = QByteArray(4, '0');
    return recordBatchesSince(
        address, since,
        [&](const std::vector<PackedRecord> &batch) {
            for (const PackedRecord &p : batch) {
                rec.serial = p.serial;
                rec.card = p.card;
                rec.when = p.when;
                std::copy(p.flag.begin(), p.flag.end(), rec.flag.data());
                if (!sink(rec)) return false;
            }
            return true;
        },
        lastSerial);
}

bool AttLink::deleteRecordsUpTo(int address, quint64 upTo, qint64 &deleted)
{
    lastError_.clear();
    if (address < 0 || address > 255) return failWith(QStringLiteral("address not valid (0..255)"));
    const Exchange::Reply r = ask(address, Command::DeleteRecordsUpTo, {QString::number(upTo)});
    if (!r.ok()) return failWith(r);
    bool ok = false;
    const qint64 n = Fields::field(Fields::split(r.data), 0).toLongLong(&ok);
    if (!ok || n < 0) return failWith(QStringLiteral("damaged reply: no count"));
    // Serials start at 1: no terminal holds more records up to serial S than S.
    if (quint64(n) > upTo)
        return failWith(QStringLiteral("damaged reply: %1 records deleted, but at most %2 can have a serial up to %2").arg(n).arg(upTo));
    deleted = n;
    return true;
}
