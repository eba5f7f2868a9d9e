// GatherData and GatherSendCardData over protocol 2's compact blocks: several packets a request,
// each record decoded and written as its raw line in one pass.
#include "attlink/AttLink.h"

#include "attlink/BlockRangeCheck.h"
#include "attlink/OperationArgs.h"
#include "common/DurableFile.h"
#include "attlink/protocol/BlockHeaders.h"
#include "attlink/protocol/RawLineWriter.h"
#include "attlink/protocol/RecordWire.h"
#include "attlink/protocol/RosterBlock.h"
#include "common/TextCodec.h"


namespace {

// Items in packets first..last of a terminal holding `total`.
qint64 itemsIn(qint64 total, int first, int last, int perPacket)
{
    const qint64 end = qMin<qint64>(total, qint64(last) * perPacket);
    return qMax<qint64>(0, end - qint64(first - 1) * perPacket);
}

// Restores the exchange's turn-around guard when a collection ends, however it ends.
struct TurnaroundGuard {
    Exchange &x;
    TurnaroundGuard(Exchange &e, int ms) : x(e) { x.setTurnaroundGuard(ms); }
    ~TurnaroundGuard() { x.setTurnaroundGuard(0); }
};

}  // namespace

QString AttLink::replyFailure(const Exchange::Reply &r)
{
    if (!r.answered) return QStringLiteral("通讯失败：") + r.error;
    switch (r.status) {
    case ReplyStatus::NotSupported: return QStringLiteral("终端不支持此功能");
    case ReplyStatus::BadRequest: return QStringLiteral("终端不接受此数据");
    case ReplyStatus::Unknown: return QStringLiteral("终端不认识此命令");
    default: return QStringLiteral("终端拒绝请求");
    }
}

// The terminal address of a range collection, or -1 with the message when the address or the packet
// range is unusable (nothing is asked of the terminal then).
static int collectionAddress(const QString &address, int first, int last, QString &message)
{
    const int a = OperationArgs::address(address);
    if (a < 0) message = QStringLiteral("考勤机地址无效");
    else if (first < 1 || last < first) message = QStringLiteral("包号无效");
    else return a;
    return -1;
}

// What differs between collecting records and the roster: the command, the items a packet holds,
// the words of the messages, and how a reply's block becomes lines of the file.
struct AttLink::BlockKind {
    uint8_t command;
    int perPacket;
    QString changed;  // the terminal's content changed during the collection
    QString summary;  // %1: the items collected
    bool observed;    // the raw-lines observer sees the lines (records)
    // Decodes a reply's block: the item count, or -1 with `message` set.
    std::function<qint64(const char *data, qsizetype size, QString &message)> decode;
    // The items decoded last as lines of the file (`done` items came before); false with `message` set.
    std::function<bool(qint64 done, QByteArray &lines, QString &message)> lines;
};

QVariant AttLink::collectBlocks(const QString &address, const QString &folder, const QString &fileName, QString &message,
                                qint32 &count, int first, int last, int pauseMs, const BlockKind &kind)
{
    count = 0;
    fileError_ = 0;
    const int a = collectionAddress(address, first, last, message);
    if (a < 0) return false;
    // Written beside the target and renamed over it only once every packet has come and every byte is
    // on the disk: a failed collection, a full disk or a kill leaves the earlier file as it was.
    DurableFile out(pathIn(folder, fileName));
    if (!out.open()) return fileFailed(out, message);
    const TurnaroundGuard guard(exchange(), pauseMs);
    int span = qMax(1, recordsPerRequest() / RecordsPerPacket) * RecordsPerPacket;  // in records
    BlockRangeCheck check(kind.perPacket);
    QByteArray lines;
    int packet = first, lastPacket = last;
    qint64 done = 0;
    while (packet <= lastPacket) {
        const int asked = qMin(span / RecordsPerPacket, lastPacket - packet + 1);
        const Exchange::Reply r = exchange().request(
            uint8_t(a), kind.command, BlockHeaders::encode(BlockHeaders::RangeRequest{uint16_t(packet), uint16_t(asked)}));
        if (!r.ok() && askLessAfterSlowReply(span, QStringLiteral("items"))) continue;
        if (!r.ok()) { message = replyFailure(r); return false; }
        BlockHeaders::RangeReply h;
        if (!BlockHeaders::decode(r.data, h)) { message = QStringLiteral("终端应答格式错误"); return false; }
        const qint64 items = kind.decode(r.data.constData() + BlockHeaders::RangeReplySize,
                                         r.data.size() - BlockHeaders::RangeReplySize, message);
        if (items < 0) return false;
        switch (check.accept(h, packet, asked, items)) {
        case BlockRangeCheck::Fault::Malformed: message = QStringLiteral("终端应答格式错误"); return false;
        case BlockRangeCheck::Fault::Changed: message = kind.changed; return false;
        case BlockRangeCheck::Fault::None: break;
        }
        if (!kind.lines(done, lines, message)) return false;
        if (!out.write(lines)) return fileFailed(out, message);
        if (kind.observed && rawLinesObserver_ && !rawLinesObserver_(lines)) { message = QStringLiteral("采集已中止"); return false; }
        done += items;
        reportProgress(done, itemsIn(check.total(), first, last, kind.perPacket));
        lastPacket = qMin<int>(last, h.totalPackets);  // the terminal may hold fewer packets than asked for
        if (h.packets == 0) break;
        packet += h.packets;
    }
    if (first == 1 && last == 65535 && done != qMax<qint64>(0, check.total())) { message = kind.changed; return false; }
    if (!out.commit()) return fileFailed(out, message);
    count = qint32(done);
    message = kind.summary.arg(done);
    return true;
}

QVariant AttLink::collectRecordBlocks(const QString &address, const QString &folder, const QString &fileName,
                                      QString &message, qint32 &count, bool decimal, bool fullYear, int first,
                                      int last, int pauseMs)
{
    RawLineWriter writer(OperationArgs::address(address), decimal, fullYear);
    std::vector<PackedRecord> batch;
    quint64 nextSerial = 0;  // the serial the next packet starts at; 0 before the first
    const BlockKind kind{
        Command::RecordBlocks, RecordsPerPacket, QStringLiteral("采集中终端记录数发生变化，请重新采集"),
        QStringLiteral("共采集 %1 条记录"), true,
        [&](const char *data, qsizetype size, QString &message) -> qint64 {
            QString why;
            if (RecordBlock::decode(data, size, batch, why)) return qint64(batch.size());
            message = QStringLiteral("终端记录格式错误");
            return -1;
        },
        [&](qint64, QByteArray &lines, QString &message) {
            // The records a terminal holds carry consecutive serials: a packet starts where the one
            // before ended, and a packet repeating an earlier one's records is no packet of the range.
            for (const PackedRecord &rec : batch) {
                if (nextSerial != 0 && rec.serial != nextSerial) {
                    message = QStringLiteral("终端应答格式错误");
                    return false;
                }
                nextSerial = rec.serial + 1;
            }
            lines.resize(qsizetype(batch.size()) * RawLineWriter::MaxLineBytes);
            char *w = lines.data();
            for (const PackedRecord &rec : batch) w += writer.write(rec, w);
            lines.resize(w - lines.constData());
            return true;
        }};
    return collectBlocks(address, folder, fileName, message, count, first, last, pauseMs, kind);
}

QVariant AttLink::collectRosterBlocks(const QString &address, const QString &folder, const QString &fileName,
                                      QString &message, qint32 &count, bool decimal, int first, int last, int pauseMs)
{
    std::vector<PackedRosterEntry> batch;
    const BlockKind kind{
        Command::RosterBlocks, RosterPerPacket, QStringLiteral("采集中终端名单发生变化，请重新采集"),
        QStringLiteral("共采集 %1 条名单"), false,
        [&](const char *data, qsizetype size, QString &message) -> qint64 {
            QString why;
            if (RosterBlock::decode(data, size, batch, why)) return qint64(batch.size());
            message = QStringLiteral("终端应答格式错误");
            return -1;
        },
        [&](qint64 done, QByteArray &lines, QString &message) {
            // NameList.txt: card,job number,name (the name last, so that a comma in it is harmless).
            lines.clear();
            for (const PackedRosterEntry &e : batch) {
                // An entry is held to the rules a sent card is held to (a job number of 1 to 8
                // characters, a name that is whole GB18030 without control characters), so that every
                // line of the file reads back as exactly one entry of three fields.
                if (!OperationArgs::jobNumber(QString::fromLatin1(e.jobNo))
                    || !OperationArgs::rosterName(TextCodec::decode(e.name), DeviceLink::NameFieldBytes)) {
                    message = QStringLiteral("终端名单第 %1 条格式错误").arg(done + 1 + (&e - batch.data()));
                    return false;
                }
                lines += (decimal ? RecordWire::cardDecimal(e.card) : RecordWire::cardHex(e.card)).toLatin1();
                lines += ',' + e.jobNo + ',' + e.name + "\r\n";
            }
            return true;
        }};
    return collectBlocks(address, folder, fileName, message, count, first, last, pauseMs, kind);
}
