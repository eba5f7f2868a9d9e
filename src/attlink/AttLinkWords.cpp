// How the contract words a client's failure for the operator, and protocol 2 on the current line for
// callers of the contract.
#include "attlink/AttLink.h"

#include "attlink/protocol/SerialRecord.h"

QString AttLink::exchangeWords(const ClientResult &r)
{
    switch (r.error()) {
    case LinkFailure::NotOpen:
        return QStringLiteral("端口未打开");
    case LinkFailure::TooLong:
        return QStringLiteral("数据过长");
    case LinkFailure::NoAnswer:
        return QStringLiteral("终端无应答");
    case LinkFailure::Damaged:
        return QStringLiteral("应答校验错误");
    case LinkFailure::CutShort:
        return QStringLiteral("应答不完整");
    case LinkFailure::Invalid:
        return QStringLiteral("应答无效");
    case LinkFailure::TooSlow:
        return QStringLiteral("应答未在 %1 毫秒内完成").arg(r.deadlineMs());
    case LinkFailure::NotOurs:
        return QStringLiteral("应答不属于本次请求");
    case LinkFailure::Abandoned:
        return QStringLiteral("通讯已中止");
    case LinkFailure::BadArgument:
        return QStringLiteral("考勤机地址无效");
    default:
        return r.lineError();  // the line's own words (the system's, or the connection's)
    }
}

QString AttLink::failureWords(const ClientResult &r)
{
    switch (r.error()) {
    case LinkFailure::None:
        return {};
    case LinkFailure::NotSupported:
        return QStringLiteral("终端不支持此功能");
    case LinkFailure::BadRequest:
        return QStringLiteral("终端不接受此数据");
    case LinkFailure::UnknownCommand:
        return QStringLiteral("终端不认识此命令");
    case LinkFailure::Refused:
        return QStringLiteral("终端拒绝请求");
    case LinkFailure::BadContent:
    case LinkFailure::BadBlock:
        return QStringLiteral("终端应答格式错误");
    case LinkFailure::Changed:
        return QStringLiteral("采集中终端内容发生变化，请重新采集");
    case LinkFailure::Stopped:
    case LinkFailure::Deadline:
        return QStringLiteral("采集已中止");
    default:
        return QStringLiteral("通讯失败：") + exchangeWords(r);
    }
}

bool AttLink::identify(int address, TerminalIdentity &out) { return done(client().identify(address, out)); }

bool AttLink::recordBatchesSince(int address, quint64 since, const TerminalClient::RecordSink &sink,
                                 quint64 &lastSerial)
{
    return done(client().recordsSince(address, since, sink, lastSerial));
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
    return done(client().deleteRecordsUpTo(address, upTo, deleted));
}
