// Protocol 2's incremental collection: the terminal's identity, the records after a serial, and the
// deletion of records up to a serial (docs/protocol.md, "Incremental collection").
#include "attlink/AttLink.h"

#include "attlink/protocol/BlockHeaders.h"
#include "attlink/protocol/Fields.h"

#include <QDate>
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

int AttLink::recordsPerRequest() const
{
    // On TCP a reply as large as a frame allows; on a serial line about a second of the line, so that
    // a damaged reply costs little to ask again.
    if (mode_ == 1) return 64 * RecordsPerPacket;
    return qBound(RecordsPerPacket, settings_.baud / 9600 * RecordsPerPacket, 16 * RecordsPerPacket);
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
        || !serialOk || id.model.isEmpty() || id.model.size() > 32 || !IdentityFields::readMemory(f, id))
        return failWith(QStringLiteral("damaged identity in the terminal's reply"));
    out = id;
    return true;
}

bool AttLink::recordBatchesSince(int address, quint64 since,
                                 const std::function<bool(const std::vector<PackedRecord> &)> &sink,
                                 quint64 &lastSerial)
{
    lastError_.clear();
    lastSerial = since;
    if (address < 0 || address > 255) return failWith(QStringLiteral("address not valid (0..255)"));
    const uint32_t perRequest = uint32_t(recordsPerRequest());
    std::vector<PackedRecord> batch;
    quint64 last = since, target = 0;
    qint64 done = 0, expected = 0;
    for (bool first = true;; first = false) {
        const Exchange::Reply r = exchange().request(uint8_t(address), Command::RecordsSince,
                                                     BlockHeaders::encode(BlockHeaders::SinceRequest{last, perRequest}));
        if (!r.ok()) return failWith(r);
        BlockHeaders::SinceReply h;
        QString why;
        if (!BlockHeaders::decode(r.data, h)) return failWith(QStringLiteral("damaged reply: short header"));
        if (!RecordBlock::decode(r.data.constData() + BlockHeaders::SinceReplySize,
                                 r.data.size() - BlockHeaders::SinceReplySize, batch, why))
            return failWith(QStringLiteral("damaged reply: ") + why);
        // What the terminal says must agree with itself and with what came before.
        if (batch.size() > perRequest || batch.size() > h.remaining)
            return failWith(QStringLiteral("damaged reply: more records than asked for or held"));
        if (!batch.empty() && (batch.front().serial <= last || batch.back().serial > h.newestSerial))
            return failWith(QStringLiteral("damaged reply: serials out of order"));
        if (batch.empty() && h.remaining > 0)
            return failWith(QStringLiteral("damaged reply: records held but none sent"));
        if (first) {
            // The newest serial now: records stored from here on are left for the next collection.
            target = h.newestSerial;
            expected = h.remaining;
        }
        if (batch.empty()) break;
        if (!sink(batch)) return failWith(QStringLiteral("abandoned by the caller"));
        last = batch.back().serial;
        lastSerial = last;
        done += qint64(batch.size());
        reportProgress(done, qMax(done, expected));
        if (last >= target || batch.size() == h.remaining) break;
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
    deleted = n;
    return true;
}
