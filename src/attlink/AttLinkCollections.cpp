// The contract's collections over the client's record and roster blocks, each decoded packet written
// as lines of the raw file in one pass, and the check of a collected file against the terminal.
#include "attlink/AttLink.h"

#include "attlink/OperationArgs.h"
#include "attlink/RawFileCheck.h"
#include "attlink/protocol/RawLineWriter.h"
#include "attlink/protocol/RecordWire.h"
#include "common/DurableFile.h"
#include "common/TextCodec.h"

#include <QFile>

namespace {

// SleepDate: on a serial line, the least time in milliseconds between a reply's arrival and the next
// packet request (0..1000, anything else is 0), for slow line converters that need time to turn the
// line around. TCP turns nothing around and waits for nothing.
int pauseOf(const QString &sleepDate)
{
    bool ok = false;
    const int ms = sleepDate.trimmed().toInt(&ok);
    return ok && ms > 0 && ms <= 1000 ? ms : 0;
}

// The message of a range collection's address or packets that cannot be used (nothing is asked then).
QString unusable(int address, int first, int last)
{
    if (address < 0) return QStringLiteral("考勤机地址无效");
    if (first < 1 || last < first) return QStringLiteral("包号无效");
    return {};
}

}  // namespace

QVariant AttLink::fileFailed(const DurableFile &out, QString &message)
{
    fileError_ = out.errorNumber();
    fileErrorPath_ = out.path();
    message = QStringLiteral("无法写入文件 %1：%2").arg(out.path(), DurableFile::reasonText(fileError_));
    return false;
}

QString AttLink::collectionFailure(const ClientResult &r, bool records) const
{
    switch (r.error()) {
    case LinkFailure::Changed:
        return records ? QStringLiteral("采集中终端记录数发生变化，请重新采集")
                       : QStringLiteral("采集中终端名单发生变化，请重新采集");
    case LinkFailure::BadContent:
        return QStringLiteral("终端应答格式错误");
    case LinkFailure::BadBlock:  // the decoder's reason, as it gave it
        return (records ? QStringLiteral("终端记录格式错误：") : QStringLiteral("终端应答格式错误："))
            + r.errorString().section(QStringLiteral(": "), 1);
    default:
        return failureWords(r);
    }
}

QVariant AttLink::finishCollection(DurableFile &out, const ClientResult &r, bool written, const QString &stopped,
                                   bool records, qint64 n, qint32 &count, QString &message)
{
    if (!written) return fileFailed(out, message);
    if (!stopped.isEmpty()) {
        message = stopped;
        return false;
    }
    if (!r.ok()) {
        message = collectionFailure(r, records);
        return false;
    }
    if (!out.commit()) return fileFailed(out, message);
    count = qint32(n);
    message = (records ? QStringLiteral("共采集 %1 条记录") : QStringLiteral("共采集 %1 条名单")).arg(n);
    return true;
}

QVariant AttLink::GatherData(const QString &address, const QString &folder, const QString &fileName, QString &message,
                             qint32 &count, const QString &sleepDate, qint16 decimalCards, bool &fullYear)
{
    return collectRecords(address, folder, fileName, message, count, decimalCards != 0, fullYear, 1, 65535,
                          pauseOf(sleepDate));
}

QVariant AttLink::GatherData_All(const QString &address, const QString &folder, const QString &fileName,
                                 QString &message, qint32 &count, const QString &sleepDate, qint16 decimalCards,
                                 bool &fullYear, const QString &firstPacket, const QString &lastPacket)
{
    return collectRecords(address, folder, fileName, message, count, decimalCards != 0, fullYear,
                          OperationArgs::packet(firstPacket), OperationArgs::packet(lastPacket), pauseOf(sleepDate));
}

QVariant AttLink::GatherSendCardData(const QString &address, const QString &folder, const QString &fileName,
                                     QString &message, qint32 &count, const QString &sleepDate, qint16 decimalCards)
{
    return collectRoster(address, folder, fileName, message, count, decimalCards != 0, 1, 65535, pauseOf(sleepDate));
}

QVariant AttLink::GatherSendCardData_all(const QString &address, const QString &folder, const QString &fileName,
                                         QString &message, qint32 &count, const QString &sleepDate, qint16 decimalCards,
                                         const QString &firstPacket, const QString &lastPacket)
{
    return collectRoster(address, folder, fileName, message, count, decimalCards != 0,
                         OperationArgs::packet(firstPacket), OperationArgs::packet(lastPacket), pauseOf(sleepDate));
}

QVariant AttLink::collectRecords(const QString &address, const QString &folder, const QString &fileName,
                                 QString &message, qint32 &count, bool decimal, bool fullYear, int first, int last,
                                 int pauseMs)
{
    count = 0;
    fileError_ = 0;
    const int a = OperationArgs::address(address);
    if (message = unusable(a, first, last); !message.isEmpty())
        return done(ClientResult::failed(LinkFailure::BadArgument));
    // Written beside the target and renamed over it only once every packet has come and every byte is
    // on the disk: a failed collection, a full disk or a kill leaves the earlier file as it was.
    DurableFile out(pathIn(folder, fileName));
    if (!out.open()) return fileFailed(out, message);
    RawLineWriter writer(a, decimal, fullYear);
    QByteArray lines;
    bool written = true, observed = true;
    qint64 n = 0;
    const ClientResult r = client().recordBlocks(
        a, first, last, pauseMs,
        [&](const std::vector<PackedRecord> &batch) {
            lines.resize(qsizetype(batch.size()) * RawLineWriter::MaxLineBytes);
            char *w = lines.data();
            for (const PackedRecord &rec : batch) w += writer.write(rec, w);
            lines.resize(w - lines.constData());
            written = out.write(lines);
            observed = !written || !rawLinesObserver_ || rawLinesObserver_(lines);
            return written && observed;
        },
        n);
    done(r);
    return finishCollection(out, r, written, observed ? QString() : QStringLiteral("采集已中止"), true, n, count,
                            message);
}

QVariant AttLink::collectRoster(const QString &address, const QString &folder, const QString &fileName,
                                QString &message, qint32 &count, bool decimal, int first, int last, int pauseMs)
{
    count = 0;
    fileError_ = 0;
    const int a = OperationArgs::address(address);
    if (message = unusable(a, first, last); !message.isEmpty())
        return done(ClientResult::failed(LinkFailure::BadArgument));
    DurableFile out(pathIn(folder, fileName));
    if (!out.open()) return fileFailed(out, message);
    QByteArray lines;
    QString bad;
    bool written = true;
    qint64 n = 0, before = 0;
    const ClientResult r = client().rosterBlocks(
        a, first, last, pauseMs,
        [&](const std::vector<PackedRosterEntry> &batch) {
            // NameList.txt: card,job number,name (the name last, so that a comma in it is harmless). An
            // entry is held to the rules a sent card is held to, so that every line of the file reads
            // back as exactly one entry of three fields.
            lines.clear();
            for (const PackedRosterEntry &e : batch) {
                if (!OperationArgs::jobNumber(QString::fromLatin1(e.jobNo))
                    || !OperationArgs::rosterName(TextCodec::decode(e.name), DeviceLink::NameFieldBytes)) {
                    bad = QStringLiteral("终端名单第 %1 条格式错误").arg(before + 1 + (&e - batch.data()));
                    return false;
                }
                lines += (decimal ? RecordWire::cardDecimal(e.card) : RecordWire::cardHex(e.card)).toLatin1();
                lines += ',' + e.jobNo + ',' + e.name + "\r\n";
            }
            before += qint64(batch.size());
            return written = out.write(lines);
        },
        n);
    done(r);
    return finishCollection(out, r, written, bad, false, n, count, message);
}

QVariant AttLink::CheckData(const QString &address, const QString &folder, const QString &fileName, QString &message,
                            qint16 three, qint16 decimalCards, bool &fullYear, const QString &since, qint16 twenty)
{
    // three: how many bad lines the message names; since: a sample time that sets the layout of the
    // times in the message; twenty: the century of two-digit years.
    RawFileCheck::Options o;
    o.machine = OperationArgs::address(address);
    o.decimalCards = decimalCards != 0;
    o.fullYear = fullYear;
    o.named = three;
    o.century = twenty;
    if (o.machine < 0) {
        message = QStringLiteral("考勤机地址无效");
        return -1;
    }
    const QString layout = RawFileCheck::timeLayout(since);
    if (three < 1 || twenty < 1 || twenty > 99 || layout.isEmpty()) {
        message = QStringLiteral("校验参数无效");
        return -1;
    }
    const QString path = pathIn(folder, fileName);
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.size() > 512 * 1024 * 1024) {
        message = QStringLiteral("找不到记录文件 ") + path;
        return 1;
    }
    const RawFileCheck::Result r = RawFileCheck::check(TextCodec::splitLines(QString::fromLatin1(f.readAll())), o);
    if (r.code) {
        message = r.message;
        return r.code;
    }
    qint32 held = 0;
    if (!GatherRecordSum(address, held, QStringLiteral("ok")).toBool()) {
        message = QStringLiteral("无法读取终端记录数，请检查通讯");
        return 5;
    }
    const QString span = r.records
        ? QStringLiteral("，时间从 %1 到 %2").arg(r.first.toString(layout), r.last.toString(layout))
        : QString();
    if (held != r.records) {
        message = QStringLiteral("文件有 %1 条记录，终端有 %2 条").arg(r.records).arg(held);
        return 4;
    }
    message = QStringLiteral("共 %1 条记录").arg(r.records) + span;
    return 0;
}
