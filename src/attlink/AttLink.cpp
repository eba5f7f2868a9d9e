#include "attlink/AttLink.h"

#include "attlink/protocol/Fields.h"
#include "attlink/protocol/RecordWire.h"
#include "common/TextCodec.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTime>

namespace {

// An address given as text: a whole number 0..255 after trimming, else -1 (no call is made).
int addressOf(const QString &text)
{
    bool ok = false;
    const int a = text.trimmed().toInt(&ok);
    return ok && a >= 0 && a <= 255 ? a : -1;
}
int addressOf(qint16 a) { return a >= 0 && a <= 255 ? a : -1; }

// A packet number text: 1..65535, else 0.
int packetOf(const QString &text)
{
    bool ok = false;
    const int p = text.trimmed().toInt(&ok);
    return ok && p >= 1 && p <= 65535 ? p : 0;
}

QString joinPath(const QString &folder, const QString &name)
{
    return folder.isEmpty() ? name : QDir(folder).filePath(name);
}


QByteArray u16(int v) { QByteArray b(2, '\0'); b[0] = char(v >> 8); b[1] = char(v); return b; }

}  // namespace

AttLink::AttLink(const QString &appFolder)
    : settings_(LinkSettings::load(appFolder)), serialExchange_(serial_, settings_), tcpExchange_(tcp_, settings_)
{
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

QVariant AttLink::collectRecords(const QString &address, const QString &folder, const QString &fileName,
                                 QString &message, qint32 &count, bool decimal, bool fullYear, int first, int last)
{
    count = 0;
    const int a = addressOf(address);
    if (a < 0) { message = QStringLiteral("考勤机地址无效"); return false; }
    if (first < 1 || last < first) { message = QStringLiteral("包号无效"); return false; }
    QSaveFile out(joinPath(folder, fileName));
    if (!out.open(QIODevice::WriteOnly)) { message = QStringLiteral("无法写入文件 ") + out.fileName(); return false; }
    int packet = first, lastPacket = last;
    qint64 done = 0, expected = 0;
    while (packet <= lastPacket) {
        const Exchange::Reply r = exchange().request(uint8_t(a), Command::RecordPacket, u16(packet));
        if (!r.ok()) {
            out.cancelWriting();
            message = r.answered ? QStringLiteral("终端拒绝请求") : QStringLiteral("通讯失败：") + r.error;
            return false;
        }
        RecordWire::PacketHeader h;
        if (!RecordWire::decodeHeader(r.data, h) || h.packet != packet
            || (r.data.size() - RecordWire::PacketHeaderSize) % RecordWire::Size != 0) {
            out.cancelWriting();
            message = QStringLiteral("终端应答格式错误");
            return false;
        }
        if (h.totalPackets < lastPacket) lastPacket = h.totalPackets;  // fewer packets than asked for
        expected = h.totalItems;
        const int n = int((r.data.size() - RecordWire::PacketHeaderSize) / RecordWire::Size);
        for (int i = 0; i < n; ++i) {
            WireRecord rec;
            if (!RecordWire::decode(r.data.mid(RecordWire::PacketHeaderSize + i * RecordWire::Size, RecordWire::Size), rec)) {
                out.cancelWriting();
                message = QStringLiteral("终端记录格式错误");
                return false;
            }
            out.write(RecordWire::rawLine(a, rec, decimal, fullYear) + "\r\n");
            ++done;
        }
        reportProgress(done, expected);
        ++packet;
    }
    if (!out.commit()) { message = QStringLiteral("无法写入文件 ") + out.fileName(); return false; }
    count = qint32(done);
    message = QStringLiteral("共采集 %1 条记录").arg(done);
    return true;
}

QVariant AttLink::GatherData(const QString &address, const QString &folder, const QString &fileName, QString &message,
                             qint32 &count, const QString &, qint16 decimalCards, bool &fullYear)
{
    return collectRecords(address, folder, fileName, message, count, decimalCards != 0, fullYear, 1, 65535);
}

QVariant AttLink::GatherData_All(const QString &address, const QString &folder, const QString &fileName,
                                 QString &message, qint32 &count, const QString &, qint16 decimalCards,
                                 bool &fullYear, const QString &firstPacket, const QString &lastPacket)
{
    return collectRecords(address, folder, fileName, message, count, decimalCards != 0, fullYear,
                          packetOf(firstPacket), packetOf(lastPacket));
}

QVariant AttLink::GatherRecordSum(const QString &address, qint32 &count, const QString &)
{
    const Exchange::Reply r = ask(addressOf(address), Command::RecordCount);
    if (!r.ok()) return false;
    bool ok = false;
    const qint32 n = Fields::field(Fields::split(r.data), 0).toInt(&ok);
    if (!ok || n < 0) return false;
    count = n;
    return true;
}

QVariant AttLink::ClearRecord(qint16 address) { return simple(addressOf(address), Command::ClearRecords); }
QVariant AttLink::ClearFlag(qint16 address) { return simple(addressOf(address), Command::ClearFlags); }

QVariant AttLink::CheckData(const QString &address, const QString &folder, const QString &fileName, QString &message,
                            qint16, qint16 decimalCards, bool &fullYear, const QString &, qint16)
{
    QFile f(joinPath(folder, fileName));
    if (!f.open(QIODevice::ReadOnly)) { message = QStringLiteral("找不到记录文件"); return 1; }
    const QStringList lines = TextCodec::splitLines(TextCodec::decode(f.readAll()));
    const int width = 17 + (decimalCards ? 10 : 8) + (fullYear ? 4 : 2);
    int n = 0;
    for (const QString &line : lines) {
        if (line.isEmpty()) continue;
        ++n;
        if (line.size() != width) { message = QStringLiteral("第 %1 行长度不对").arg(n); return 2; }
        for (int i = 0; i < width - 4; ++i) {
            const QChar c = line[i];
            const bool hexCard = !decimalCards && i >= 3 && i < 11;
            if (!(c.isDigit() || (hexCard && QStringLiteral("ABCDEF").contains(c)))) {
                message = QStringLiteral("第 %1 行含非法字符").arg(n);
                return 3;
            }
        }
    }
    qint32 held = 0;
    if (!GatherRecordSum(address, held, QStringLiteral("ok")).toBool()) { message = QStringLiteral("无法读取终端记录数"); return 5; }
    if (held != n) { message = QStringLiteral("文件有 %1 条记录，终端有 %2 条").arg(n).arg(held); return 4; }
    message = QStringLiteral("数据正确，共 %1 条").arg(n);
    return 0;
}

QVariant AttLink::SendRecordToMachine(const QString &address, QString &card, QString &dateTime, const QString &code1,
                                      const QString &code2)
{
    uint32_t c = 0;
    if (!RecordWire::parseCard(card.trimmed(), c)) return false;
    QDateTime when;
    for (const QString &form : {QStringLiteral("yyyy-MM-dd HH:mm:ss"), QStringLiteral("yy-MM-dd HH:mm:ss"),
                                QStringLiteral("yyyyMMddHHmmss"), QStringLiteral("yyMMddHHmmss"),
                                QStringLiteral("yyyy/M/d H:mm:ss"), QStringLiteral("yyyy-MM-dd HH:mm")}) {
        when = QDateTime::fromString(dateTime.trimmed(), form);
        if (when.isValid()) break;
    }
    if (!when.isValid()) return false;
    if (when.date().year() < 1970) when = when.addYears(100);
    return simple(addressOf(address), Command::PutRecord,
                  {RecordWire::cardHex(c), when.toString(QStringLiteral("yyyyMMddHHmmss")), code1.left(2),
                   code2.left(2)});
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

QVariant AttLink::collectRoster(const QString &address, const QString &folder, const QString &fileName,
                                QString &message, qint32 &count, bool decimal, int first, int last)
{
    count = 0;
    const int a = addressOf(address);
    if (a < 0) { message = QStringLiteral("考勤机地址无效"); return false; }
    if (first < 1 || last < first) { message = QStringLiteral("包号无效"); return false; }
    QSaveFile out(joinPath(folder, fileName));
    if (!out.open(QIODevice::WriteOnly)) { message = QStringLiteral("无法写入文件 ") + out.fileName(); return false; }
    int packet = first, lastPacket = last;
    qint64 done = 0;
    while (packet <= lastPacket) {
        const Exchange::Reply r = exchange().request(uint8_t(a), Command::RosterPacket, u16(packet));
        RecordWire::PacketHeader h;
        if (!r.ok() || !RecordWire::decodeHeader(r.data, h) || h.packet != packet) {
            out.cancelWriting();
            message = r.answered ? QStringLiteral("终端应答格式错误") : QStringLiteral("通讯失败：") + r.error;
            return false;
        }
        if (h.totalPackets < lastPacket) lastPacket = h.totalPackets;
        const QStringList f = Fields::split(r.data.mid(RecordWire::PacketHeaderSize));
        if (f.size() % 3 != 0) { out.cancelWriting(); message = QStringLiteral("终端应答格式错误"); return false; }
        for (int i = 0; i + 2 < f.size(); i += 3) {
            uint32_t card = 0;
            if (!RecordWire::parseCard(f[i], card)) { out.cancelWriting(); message = QStringLiteral("终端应答格式错误"); return false; }
            const QString line = QStringLiteral("%1,%2,%3")
                                     .arg(decimal ? RecordWire::cardDecimal(card) : RecordWire::cardHex(card), f[i + 1], f[i + 2]);
            out.write(TextCodec::encode(line) + "\r\n");
            ++done;
        }
        reportProgress(done, h.totalItems);
        ++packet;
    }
    if (!out.commit()) { message = QStringLiteral("无法写入文件 ") + out.fileName(); return false; }
    count = qint32(done);
    message = QStringLiteral("共采集 %1 条名单").arg(done);
    return true;
}

QVariant AttLink::GatherSendCardData(const QString &address, const QString &folder, const QString &fileName,
                                     QString &message, qint32 &count, const QString &, qint16 decimalCards)
{
    return collectRoster(address, folder, fileName, message, count, decimalCards != 0, 1, 65535);
}

QVariant AttLink::GatherSendCardData_all(const QString &address, const QString &folder, const QString &fileName,
                                         QString &message, qint32 &count, const QString &, qint16 decimalCards,
                                         const QString &firstPacket, const QString &lastPacket)
{
    return collectRoster(address, folder, fileName, message, count, decimalCards != 0, packetOf(firstPacket),
                         packetOf(lastPacket));
}

QVariant AttLink::GatherSendCardSum(const QString &address, qint32 &count)
{
    const Exchange::Reply r = ask(addressOf(address), Command::RosterCount);
    if (!r.ok()) return false;
    bool ok = false;
    const qint32 n = Fields::field(Fields::split(r.data), 0).toInt(&ok);
    if (!ok || n < 0) return false;
    count = n;
    return true;
}

QVariant AttLink::ClearNameList(qint16 address) { return simple(addressOf(address), Command::ClearRoster); }

QVariant AttLink::ReadCardNum(qint16 address, QString &reply)
{
    const Exchange::Reply r = ask(addressOf(address), Command::ReadCard);
    if (!r.ok()) return QVariant();
    const QStringList f = Fields::split(r.data);
    uint32_t card = 0;
    const QString flag = Fields::field(f, 1);
    if (!RecordWire::parseCard(Fields::field(f, 0), card) || flag.size() != 2) return QVariant();
    // address (2 hex) + "00" + card flag (2) + card (8 hex)
    reply = QStringLiteral("%1").arg(address, 2, 16, QLatin1Char('0')).toUpper() + QStringLiteral("00") + flag
            + RecordWire::cardHex(card);
    return RecordWire::cardDecimal(card);
}

QVariant AttLink::CardSendToMachine(qint16 address, const QString &card, const QString &jobNo, const QString &name,
                                    const QString &code00, const QString &code00000000)
{
    uint32_t c = 0;
    if (!RecordWire::parseCard(card.trimmed(), c) || jobNo.size() > 8 || TextCodec::encode(name).size() > DeviceLink::NameFieldBytes) return false;
    return simple(addressOf(address), Command::AddCard,
                  {RecordWire::cardHex(c), jobNo, name, code00, code00000000});
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
    if (!r.ok()) return false;
    found = Fields::field(Fields::split(r.data), 0) == QStringLiteral("1");
    return true;
}

// ---- clock, parameters ----

QVariant AttLink::ModifyDateTime(qint16 address, QString &date, QString &time, QString &code01)
{
    QDate d;
    for (const QString &form : {QStringLiteral("yyyy-MM-dd"), QStringLiteral("yyyy/M/d"), QStringLiteral("yyyy-M-d")})
        if ((d = QDate::fromString(date.trimmed(), form)).isValid()) break;
    QTime t;
    for (const QString &form : {QStringLiteral("HH:mm:ss"), QStringLiteral("H:mm:ss"), QStringLiteral("H:mm")})
        if ((t = QTime::fromString(time.trimmed(), form)).isValid()) break;
    if (!d.isValid() || !t.isValid()) return false;
    return simple(addressOf(address), Command::SetDateTime,
                  {QDateTime(d, t).toString(QStringLiteral("yyyyMMddHHmmss")), code01});
}

QVariant AttLink::SetClock(qint16 address, QVector<double> &alarms, const QString &ringPeriod)
{
    QStringList f{ringPeriod.trimmed()};
    for (double v : alarms) {
        if (!(v >= 0.0 && v < 1.0)) return false;  // a time of day on the zero day
        const int minutes = int(v * 1440.0 + 0.5) % 1440;
        f << QStringLiteral("%1:%2").arg(minutes / 60, 2, 10, QLatin1Char('0')).arg(minutes % 60, 2, 10, QLatin1Char('0'));
    }
    return simple(addressOf(address), Command::SetAlarms, f);
}

QVariant AttLink::RepairSystemParameter(qint16 address, QString &relay, QString &interval, QString &mode)
{
    return simple(addressOf(address), Command::SetParameters, {relay, interval, mode});
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
    return simple(addressOf(address), Command::SetPassword, {password});
}

QVariant AttLink::GetMachinePassword(qint16 address)
{
    const Exchange::Reply r = ask(addressOf(address), Command::GetPassword);
    bool ok = false;
    const int v = r.ok() ? Fields::field(Fields::split(r.data), 0).toInt(&ok) : -1;
    return qint16(ok && v >= 0 && v <= 32767 ? v : -1);
}

QVariant AttLink::GetStorageModel(const QString &address)
{
    const Exchange::Reply r = ask(addressOf(address), Command::GetStorage);
    bool ok = false;
    const int v = r.ok() ? Fields::field(Fields::split(r.data), 0).toInt(&ok) : -1;
    return ok ? v : -1;
}

QVariant AttLink::SetStorageModel(const QString &address, qint16 code)
{
    return simple(addressOf(address), Command::SetStorage, {QString::number(code)});
}

// ---- pictures, messages, voice ----

QVariant AttLink::SetLogoMode(qint16 address, bool restore)
{
    return simple(addressOf(address), Command::SetLogo, {restore ? QStringLiteral("1") : QStringLiteral("0")});
}

QVariant AttLink::SendPictureMach(const QString &address, QString &fileName)
{
    // A picture is a text bitmap of the display: 64 lines of 128 characters, '0' or '1' each.
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly) || f.size() > 64 * 1024) return false;
    const QStringList lines = TextCodec::splitLines(QString::fromLatin1(f.readAll()));
    QByteArray bits;
    int rows = 0;
    for (const QString &line : lines) {
        if (line.isEmpty()) continue;
        if (line.size() != 128) return false;
        for (QChar c : line)
            if (c != u'0' && c != u'1') return false;
        bits += line.toLatin1();
        ++rows;
    }
    if (rows != 64) return false;
    const int a = addressOf(address);
    const int packets = 4;
    const int per = bits.size() / packets;
    for (int p = 1; p <= packets; ++p) {
        const QByteArray payload = u16(p) + u16(packets) + bits.mid((p - 1) * per, per);
        if (a < 0 || !exchange().request(uint8_t(a), Command::PicturePacket, payload).ok()) return false;
        reportProgress(p, packets);
    }
    return true;
}

QVariant AttLink::SendShortMsg(const QString &address, const QString &minutes, const QString &message)
{
    bool ok = false;
    const int m = minutes.trimmed().toInt(&ok);
    if (!ok || m < 0 || m > 9999 || TextCodec::encode(message).size() > 200) return false;
    return simple(addressOf(address), Command::ShortMessage, {QString::number(m), message});
}

QVariant AttLink::GetSounds(const QString &address, const QString &number)
{
    bool ok = false;
    const int n = number.trimmed().toInt(&ok);
    if (!ok || n < 0 || n > 255) return false;
    return simple(addressOf(address), Command::Voice, {QString::number(n)});
}
