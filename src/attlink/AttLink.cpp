#include "attlink/AttLink.h"

#include "attlink/OperationArgs.h"
#include "attlink/RawFileCheck.h"
#include "attlink/protocol/Fields.h"
#include "attlink/protocol/RecordWire.h"
#include "common/DurableFile.h"
#include "common/TextCodec.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QTime>

namespace {

int addressOf(const QString &text) { return OperationArgs::address(text); }
int addressOf(qint16 value) { return OperationArgs::address(value); }

QByteArray u16(int v) { QByteArray b(2, '\0'); b[0] = char(v >> 8); b[1] = char(v); return b; }

// SleepDate: on a serial line, the least time in milliseconds between a reply's arrival and the next
// packet request (0..1000, anything else is 0), for slow line converters that need time to turn the
// line around. TCP turns nothing around and waits for nothing.
int pauseOf(const QString &sleepDate)
{
    bool ok = false;
    const int ms = sleepDate.trimmed().toInt(&ok);
    return ok && ms > 0 && ms <= 1000 ? ms : 0;
}

}  // namespace

QString AttLink::pathIn(const QString &folder, const QString &name)
{
    return folder.isEmpty() ? name : QDir(folder).filePath(name);
}

AttLink::AttLink(const QString &appFolder) : AttLink(LinkSettings::load(appFolder)) {}

AttLink::AttLink(const LinkSettings &settings)
    : settings_(settings), serialExchange_(serial_, settings_), tcpExchange_(tcp_, settings_)
{
    serial_.setAbandonFlag(&abandoned_);
    tcp_.setAbandonFlag(&abandoned_);
}


QVariant AttLink::SetPort(QVariant &port)
{
    bool ok = false;
    const int n = port.toString().trimmed().toInt(&ok);
    const QString path = ok ? settings_.devicePathFor(n) : QString();
    if (path.isEmpty()) return false;
    return serial_.open(path, settings_.baud);
}

void AttLink::Mode(qint16 value) { mode_ = value == 1 ? 1 : 0; }

QVariant AttLink::Connect_Net(const QString &ip, const QString &port)
{
    return tcp_.connectTo(ip, port, settings_.connectTimeoutMs);
}

QVariant AttLink::Disconnect_Net()
{
    const bool was = tcp_.isOpen();
    tcp_.close();
    return was;
}

QVariant AttLink::tcpstate() { return tcp_.state(); }

QVariant AttLink::Ver() { return QStringLiteral("V7.6.8"); }

Exchange::Reply AttLink::ask(int address, uint8_t command, const QStringList &fields)
{
    if (address < 0) {
        Exchange::Reply r;
        r.error = QStringLiteral("考勤机地址无效");
        return r;
    }
    return exchange().request(uint8_t(address), command, Fields::join(fields));
}

bool AttLink::simple(int address, uint8_t command, const QStringList &fields)
{
    return ask(address, command, fields).ok();
}

// ---- records ----

QVariant AttLink::fileFailed(const DurableFile &out, QString &message)
{
    fileError_ = out.errorNumber();
    fileErrorPath_ = out.path();
    message = QStringLiteral("无法写入文件 %1：%2").arg(out.path(), DurableFile::reasonText(fileError_));
    return false;
}

QVariant AttLink::GatherData(const QString &address, const QString &folder, const QString &fileName, QString &message,
                             qint32 &count, const QString &sleepDate, qint16 decimalCards, bool &fullYear)
{
    return collectRecordBlocks(address, folder, fileName, message, count, decimalCards != 0, fullYear, 1, 65535,
                               pauseOf(sleepDate));
}

QVariant AttLink::GatherData_All(const QString &address, const QString &folder, const QString &fileName,
                                 QString &message, qint32 &count, const QString &sleepDate, qint16 decimalCards,
                                 bool &fullYear, const QString &firstPacket, const QString &lastPacket)
{
    return collectRecordBlocks(address, folder, fileName, message, count, decimalCards != 0, fullYear,
                               OperationArgs::packet(firstPacket), OperationArgs::packet(lastPacket), pauseOf(sleepDate));
}

QVariant AttLink::GatherRecordSum(const QString &address, qint32 &count, const QString &ok)
{
    // "ok" asks for the number of records held; nothing else is a count the terminal keeps.
    if (ok.trimmed().compare(QStringLiteral("ok"), Qt::CaseInsensitive) != 0) return false;
    return askCount(addressOf(address), Command::RecordCount, count);
}

bool AttLink::askCount(int address, uint8_t command, qint32 &count)
{
    const Exchange::Reply r = ask(address, command);
    if (!r.ok()) return false;
    bool valid = false;
    const qint32 n = Fields::field(Fields::split(r.data), 0).toInt(&valid);
    if (!valid || n < 0) return false;
    count = n;
    return true;
}

QVariant AttLink::ClearRecord(qint16 address) { return simple(addressOf(address), Command::ClearRecords); }
QVariant AttLink::ClearFlag(qint16 address) { return simple(addressOf(address), Command::ClearFlags); }

QVariant AttLink::CheckData(const QString &address, const QString &folder, const QString &fileName, QString &message,
                            qint16 three, qint16 decimalCards, bool &fullYear, const QString &since, qint16 twenty)
{
    // three: how many bad lines the message names; since: a sample time that sets the layout of the
    // times in the message; twenty: the century of two-digit years.
    RawFileCheck::Options o;
    o.machine = addressOf(address);
    o.decimalCards = decimalCards != 0;
    o.fullYear = fullYear;
    o.named = three;
    o.century = twenty;
    if (o.machine < 0) { message = QStringLiteral("考勤机地址无效"); return -1; }
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
    if (r.code) { message = r.message; return r.code; }
    qint32 held = 0;
    if (!GatherRecordSum(address, held, QStringLiteral("ok")).toBool()) {
        message = QStringLiteral("无法读取终端记录数，请检查通讯");
        return 5;
    }
    const QString span = r.records ? QStringLiteral("，时间从 %1 到 %2").arg(r.first.toString(layout), r.last.toString(layout))
                                   : QString();
    if (held != r.records) {
        message = QStringLiteral("文件有 %1 条记录，终端有 %2 条").arg(r.records).arg(held);
        return 4;
    }
    message = QStringLiteral("共 %1 条记录").arg(r.records) + span;
    return 0;
}

QVariant AttLink::SendRecordToMachine(const QString &address, QString &card, QString &dateTime, const QString &code1,
                                      const QString &code2)
{
    // The two codes become the record's 4-character flag: "FF" "99" a record typed at the console,
    // "01" "02" one sent back from a collected file.
    uint32_t c = 0;
    QDateTime when;
    QString flag1, flag2;
    if (!RecordWire::parseCard(card.trimmed(), c) || !OperationArgs::recordTime(dateTime, when)
        || !OperationArgs::hexCode(code1.trimmed(), 2, flag1) || !OperationArgs::hexCode(code2.trimmed(), 2, flag2))
        return false;
    return simple(addressOf(address), Command::PutRecord,
                  {RecordWire::cardHex(c), when.toString(QStringLiteral("yyyyMMddHHmmss")), flag1, flag2});
}

QVariant AttLink::ReadClearLog(qint16 address, QString &log)
{
    const Exchange::Reply r = ask(addressOf(address), Command::ClearLog);
    if (!r.ok()) return false;
    log = TextCodec::decode(r.data);
    return true;
}

QVariant AttLink::ReadChangeTimeLog(qint16 address, QString &log)
{
    const Exchange::Reply r = ask(addressOf(address), Command::TimeChangeLog);
    if (!r.ok()) return false;
    log = TextCodec::decode(r.data);
    return true;
}

// ---- roster ----

QVariant AttLink::GatherSendCardData(const QString &address, const QString &folder, const QString &fileName,
                                     QString &message, qint32 &count, const QString &sleepDate, qint16 decimalCards)
{
    return collectRosterBlocks(address, folder, fileName, message, count, decimalCards != 0, 1, 65535, pauseOf(sleepDate));
}

QVariant AttLink::GatherSendCardData_all(const QString &address, const QString &folder, const QString &fileName,
                                         QString &message, qint32 &count, const QString &sleepDate, qint16 decimalCards,
                                         const QString &firstPacket, const QString &lastPacket)
{
    return collectRosterBlocks(address, folder, fileName, message, count, decimalCards != 0,
                               OperationArgs::packet(firstPacket), OperationArgs::packet(lastPacket), pauseOf(sleepDate));
}

QVariant AttLink::GatherSendCardSum(const QString &address, qint32 &count)
{
    return askCount(addressOf(address), Command::RosterCount, count);
}

QVariant AttLink::ClearNameList(qint16 address) { return simple(addressOf(address), Command::ClearRoster); }

QVariant AttLink::ReadCardNum(qint16 address, QString &reply)
{
    const int a = addressOf(address);
    const Exchange::Reply r = ask(a, Command::ReadCard);
    if (!r.ok()) return QVariant();
    const QStringList f = Fields::split(r.data);
    uint32_t card = 0;
    const QString flag = Fields::field(f, 1);
    QString flagCode;
    if (Fields::field(f, 0).size() != 8 || !RecordWire::parseCard(Fields::field(f, 0), card)
        || flag.size() != 2 || !OperationArgs::hexCode(flag, 2, flagCode))
        return QVariant();
    // The answering terminal's address (2 hex), "00", the card flag (2), the card (8 hex).
    reply = QStringLiteral("%1").arg(a, 2, 16, QLatin1Char('0')).toUpper() + QStringLiteral("00") + flagCode
            + RecordWire::cardHex(card);
    return RecordWire::cardDecimal(card);
}

QVariant AttLink::CardSendToMachine(qint16 address, const QString &card, const QString &jobNo, const QString &name,
                                    const QString &code00, const QString &code00000000)
{
    // code00: the card's privilege class (2 hex digits, 00 ordinary); code00000000: the last day it
    // is valid, yyyyMMdd, 00000000 for never.
    uint32_t c = 0;
    QString level;
    const bool never = code00000000 == QStringLiteral("00000000");
    if (!RecordWire::parseCard(card.trimmed(), c) || !OperationArgs::jobNumber(jobNo)
        || !OperationArgs::rosterName(name, DeviceLink::NameFieldBytes) || name.contains(QChar(0x1F))
        || code00.size() != 2 || !OperationArgs::hexCode(code00, 2, level) || !OperationArgs::digits(code00000000, 8, 8)
        || (!never && !QDate::fromString(code00000000, QStringLiteral("yyyyMMdd")).isValid()))
        return false;
    return simple(addressOf(address), Command::AddCard, {RecordWire::cardHex(c), jobNo, name, level, code00000000});
}

QVariant AttLink::ClearName(qint16 address, const QString &card)
{
    uint32_t c = 0;
    if (!RecordWire::parseCard(card.trimmed(), c)) return false;
    return simple(addressOf(address), Command::RemoveCard, {RecordWire::cardHex(c)});
}

QVariant AttLink::FindCard(qint16 address, const QString &card, bool &found)
{
    uint32_t c = 0;
    if (!RecordWire::parseCard(card.trimmed(), c)) return false;
    const Exchange::Reply r = ask(addressOf(address), Command::FindCard, {RecordWire::cardHex(c)});
    const QString answer = Fields::field(Fields::split(r.data), 0);
    if (!r.ok() || (answer != QStringLiteral("1") && answer != QStringLiteral("0"))) return false;
    found = answer == QStringLiteral("1");
    return true;
}

// ---- clock, parameters ----

QVariant AttLink::ModifyDateTime(qint16 address, QString &date, QString &time, QString &code01)
{
    // code01: "01" records the change in the time-change log, "00" sets the clock silently.
    QDate d;
    QTime t;
    if (!OperationArgs::date(date, d) || !OperationArgs::time(time, t)
        || (code01 != QStringLiteral("01") && code01 != QStringLiteral("00")))
        return false;
    return simple(addressOf(address), Command::SetDateTime,
                  {QDateTime(d, t, Qt::UTC).toString(QStringLiteral("yyyyMMddHHmmss")), code01});
}

QVariant AttLink::SetClock(qint16 address, QVector<double> &alarms, const QString &ringPeriod)
{
    // The ring period: seconds the bell rings at each alarm, 0..255.
    const QString ring = ringPeriod.trimmed();
    if (!OperationArgs::digits(ring, 1, 3) || ring.toInt() > 255 || alarms.size() > 16) return false;
    QStringList f{QString::number(ring.toInt())};
    for (double v : alarms) {
        QString slot;
        if (!OperationArgs::alarmTime(v, slot)) return false;
        f << slot;
    }
    return simple(addressOf(address), Command::SetAlarms, f);
}

QVariant AttLink::RepairSystemParameter(qint16 address, QString &relay, QString &interval, QString &mode)
{
    QString r, i, m;
    if (relay.size() != 4 || interval.size() != 4 || mode.size() != 4 || !OperationArgs::hexCode(relay, 4, r)
        || !OperationArgs::hexCode(interval, 4, i) || !OperationArgs::hexCode(mode, 4, m))
        return false;
    return simple(addressOf(address), Command::SetParameters, {r, i, m});
}

QVariant AttLink::ReadSystemParameter(const QString &address, QString &parameters)
{
    const Exchange::Reply r = ask(addressOf(address), Command::ReadParameters);
    if (!r.ok()) return false;
    parameters = TextCodec::decode(r.data);
    return true;
}

QVariant AttLink::RepairAddress(qint16 address, qint16 newAddress)
{
    if (addressOf(newAddress) < 0) return false;
    return simple(addressOf(address), Command::SetAddress, {QString::number(newAddress)});
}

QVariant AttLink::SetMachinePassword(const QString &address, const QString &password)
{
    // The menu password: 1 to 4 digits, kept by the terminal as 4 (7 is 0007).
    const QString p = password.trimmed();
    if (!OperationArgs::digits(p, 1, 4)) return false;
    return simple(addressOf(address), Command::SetPassword, {p});
}

QVariant AttLink::GetMachinePassword(qint16 address)
{
    const Exchange::Reply r = ask(addressOf(address), Command::GetPassword);
    const QString text = Fields::field(Fields::split(r.data), 0);
    if (!r.ok() || !OperationArgs::digits(text, 1, 4)) return qint16(-1);
    return qint16(text.toInt());
}

QVariant AttLink::GetStorageModel(const QString &address)
{
    // A code the terminal sent is its answer, even one that is no mode (the console says the reading
    // went wrong); only a reply that cannot be read as a 16-bit code ("65537", "x") is the failure -1.
    const Exchange::Reply r = ask(addressOf(address), Command::GetStorage);
    const QString text = r.ok() ? Fields::field(Fields::split(r.data), 0) : QString();
    return qint16(OperationArgs::digits(text, 1, 5) && text.toInt() <= 32767 ? text.toInt() : -1);
}

QVariant AttLink::SetStorageModel(const QString &address, qint16 code)
{
    if (code != 1 && code != 2) return false;
    return simple(addressOf(address), Command::SetStorage, {QString::number(code)});
}

// ---- pictures, messages, voice ----

QVariant AttLink::SetLogoMode(qint16 address, bool restore)
{
    return simple(addressOf(address), Command::SetLogo, {restore ? QStringLiteral("1") : QStringLiteral("0")});
}

QVariant AttLink::SendPictureMach(const QString &address, QString &fileName)
{
    // A picture file is a text bitmap of the display: 64 lines of 128 characters, "1" or "#" a lit
    // dot, "0" or "." a dark one; blank lines are ignored. It travels packed, 8 dots a byte, in 4
    // packets of 16 rows.
    constexpr int Width = 128, Height = 64, Packets = 4;
    const int a = addressOf(address);
    QFile f(fileName);
    if (a < 0 || !f.open(QIODevice::ReadOnly) || f.size() > 64 * 1024) return false;
    const QStringList lines = TextCodec::splitLines(QString::fromLatin1(f.readAll()));
    QByteArray bits(Width * Height / 8, '\0');
    int rows = 0;
    for (const QString &line : lines) {
        if (line.isEmpty()) continue;
        if (line.size() != Width || rows == Height) return false;
        for (int x = 0; x < Width; ++x) {
            const QChar c = line[x];
            if (c == u'1' || c == u'#') bits[(rows * Width + x) / 8] = char(bits[(rows * Width + x) / 8] | (0x80 >> (x % 8)));
            else if (c != u'0' && c != u'.') return false;
        }
        ++rows;
    }
    if (rows != Height) return false;
    const int per = int(bits.size()) / Packets;
    for (int p = 1; p <= Packets; ++p) {
        if (!exchange().request(uint8_t(a), Command::PicturePacket, u16(p) + u16(Packets) + bits.mid((p - 1) * per, per)).ok())
            return false;
        reportProgress(p, Packets);
    }
    return true;
}

QVariant AttLink::SendShortMsg(const QString &address, const QString &minutes, const QString &message)
{
    // Minutes on the display, 0..9999 (0: until the next message); at most 16 Chinese characters.
    const QString m = minutes.trimmed();
    const QByteArray text = TextCodec::encode(message);
    if (!OperationArgs::digits(m, 1, 4) || text.size() > 32 || text.contains(char(0x1F))) return false;
    return simple(addressOf(address), Command::ShortMessage, {QString::number(m.toInt()), message});
}

QVariant AttLink::GetSounds(const QString &address, const QString &number)
{
    const QString n = number.trimmed();
    if (!OperationArgs::digits(n, 1, 3) || n.toInt() < 1 || n.toInt() > 255) return false;
    return simple(addressOf(address), Command::Voice, {QString::number(n.toInt())});
}
