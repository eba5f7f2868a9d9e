#include "sim/Terminal.h"

#include "sim/FieldRules.h"

#include "attlink/protocol/Fields.h"
#include "common/TextCodec.h"

#include <QRandomGenerator>

namespace {

using Reply = Terminal::Reply;

Reply ok(const QByteArray &data = {}) { return {ReplyStatus::Ok, data}; }
Reply ok(const QStringList &fields) { return {ReplyStatus::Ok, Fields::join(fields)}; }
Reply refused() { return {ReplyStatus::Refused, {}}; }
Reply bad() { return {ReplyStatus::BadRequest, {}}; }

const QString LogTime = QStringLiteral("yyyy-MM-dd HH:mm:ss");

bool allOf(const QString &s, const char *set)
{
    for (QChar c : s)
        if (c.unicode() > 0x7F || !strchr(set, char(c.unicode()))) return false;
    return true;
}
bool isDigits(const QString &s, int minLen, int maxLen)
{
    return s.size() >= minLen && s.size() <= maxLen && allOf(s, "0123456789");
}
bool isHex(const QString &s, int len) { return s.size() == len && allOf(s, "0123456789ABCDEF"); }

// A 2-byte packet number at the start of a payload: 1..65535, else 0.
int packetNumber(const QByteArray &payload)
{
    if (payload.size() != 2) return 0;
    return (uint8_t(payload[0]) << 8) | uint8_t(payload[1]);
}

bool parseCard(const QString &text, uint32_t &card) { return isHex(text, 8) && RecordWire::parseCard(text, card); }

}  // namespace

Terminal::Terminal(int a) : address(a)
{
    // A fresh terminal's identity: random, so that terminals of several simulators never share one.
    const quint64 id = QRandomGenerator::system()->generate64();
    identity = QStringLiteral("%1").arg(id, 16, 16, QLatin1Char('0')).toUpper();
}

namespace {
QDateTime hostWallClock()
{
    const QDateTime local = QDateTime::currentDateTime();
    return QDateTime(local.date(), local.time(), Qt::UTC);
}
}  // namespace

QDateTime Terminal::now() const
{
    const QDateTime t = hostWallClock().addSecs(clockOffset_);
    return QDateTime(t.date(), QTime(t.time().hour(), t.time().minute(), t.time().second()), Qt::UTC);
}

void Terminal::setClock(const QDateTime &t)
{
    clockOffset_ = hostWallClock().secsTo(QDateTime(t.date(), t.time(), Qt::UTC));
}

void Terminal::punch(uint32_t card, const QByteArray &flag)
{
    Record r;
    r.card = card;
    r.when = PackedTime::fromDateTime(now());
    for (int i = 0; i < 4 && i < flag.size(); ++i) r.flag[size_t(i)] = flag[i];
    append(r);
    cardFlags[card] = "01";
}

void Terminal::append(const Record &r)
{
    if (records.size() >= capacity) records.removeFirst();
    records.append(r);
    ++lastSerial;
    // A watcher may unregister itself (its line gone): walk a copy.
    const auto watchers = appendWatchers_;
    for (const auto &w : watchers) w.second();
}

int Terminal::watchAppends(std::function<void()> watcher)
{
    appendWatchers_.emplace(++nextWatcher_, std::move(watcher));
    return nextWatcher_;
}

void Terminal::unwatchAppends(int id) { appendWatchers_.erase(id); }

void Terminal::setCapacity(qsizetype n)
{
    capacity = qMax<qsizetype>(1, n);
    if (records.size() > capacity) records.remove(0, records.size() - capacity);
}

void Terminal::clearRecords()
{
    logClear(int(records.size()));
    records.clear();
}

Terminal::Reply Terminal::identify() const
{
    return ok(QStringList{QStringLiteral("VX730K"), firmware.toString(Qt::ISODate), QString::number(address), identity,
                          now().toString(QStringLiteral("yyyyMMddHHmmss")), QString::number(lastSerial),
                          QString::number(capacity), QString::number(records.size()),
                          QString::number(records.isEmpty() ? 0 : firstSerial()), QString::number(rosterCapacity),
                          QString::number(roster.size())});
}

void Terminal::logClear(int count) { clearLog.append({count, now()}); }

int Terminal::findCard(uint32_t card) const
{
    for (int i = 0; i < roster.size(); ++i)
        if (roster[i].card == card) return i;
    return -1;
}

Terminal::Reply Terminal::handle(uint8_t command, const QByteArray &payload)
{
    const QStringList f = Fields::split(payload);
    auto field = [&](int i) { return Fields::field(f, i); };
    switch (command) {
    case Command::Identify:
        return identify();
    case Command::RecordCount:
        return ok(QStringList{QString::number(records.size())});
    case Command::RecordPacket:
        return recordPacket(payload);
    case Command::RecordBlocks:
        return recordBlocks(payload);
    case Command::RecordsSince:
        return recordsSince(payload);
    case Command::DeleteRecordsUpTo:
        return deleteRecordsUpTo(f);
    case Command::ClearRecords:
        clearRecords();
        return ok();
    case Command::ClearFlags:
        for (auto &flag : cardFlags) flag = "00";
        return ok();
    case Command::PutRecord:
        return putRecord(f);
    case Command::ClearLog: {
        if (firmware < clearLogSince()) return {ReplyStatus::NotSupported, {}};
        QStringList entries;
        for (const ClearEntry &e : clearLog) entries << QString::number(e.count) + u',' + e.when.toString(LogTime);
        return ok(TextCodec::encode(entries.join(u';')));
    }
    case Command::TimeChangeLog: {
        if (firmware < timeChangeLogSince()) return {ReplyStatus::NotSupported, {}};
        QStringList entries;
        for (const TimeChange &e : timeChangeLog)
            entries << e.before.toString(LogTime) + u',' + e.after.toString(LogTime);
        return ok(TextCodec::encode(entries.join(u';')));
    }
    case Command::RosterCount:
        return ok(QStringList{QString::number(roster.size())});
    case Command::RosterPacket:
        return rosterPacket(payload);
    case Command::RosterBlocks:
        return rosterBlocks(payload);
    case Command::ClearRoster:
        // Clearing the roster also deletes the records: they would name cards the terminal no longer knows.
        roster.clear();
        clearRecords();
        return ok();
    case Command::AddCard:
        return addCard(f);
    case Command::IssueCards:
        return issueCards(payload);
    case Command::WithdrawCards:
        return withdrawCards(payload);
    case Command::RemoveCard: {
        uint32_t card = 0;
        if (f.size() != 1 || !parseCard(field(0), card)) return bad();
        const int i = findCard(card);
        if (i < 0) return refused();
        roster.removeAt(i);
        return ok();
    }
    case Command::FindCard: {
        uint32_t card = 0;
        if (f.size() != 1 || !parseCard(field(0), card)) return bad();
        return ok(QStringList{findCard(card) >= 0 ? QStringLiteral("1") : QStringLiteral("0")});
    }
    case Command::ReadCard:
        if (!payload.isEmpty()) return bad();
        if (!hasPresented_) return refused();
        return ok(QStringList{RecordWire::cardHex(presented_), QString::fromLatin1(cardFlags.value(presented_, "00"))});
    case Command::SetDateTime:
        return setDateTime(f);
    case Command::SetAlarms:
        return setAlarms(f);
    case Command::SetParameters:
        return setParameters(f);
    case Command::ReadParameters:
        return ok(TextCodec::encode(QStringLiteral("继电器延时%1 打卡间隔%2 模式%3").arg(relay, interval, mode)));
    case Command::SetAddress:
        return setAddress(f);
    case Command::SetPassword:
        if (f.size() != 1 || !isDigits(field(0), 1, 4)) return bad();
        password = field(0).rightJustified(4, u'0');
        return ok();
    case Command::GetPassword:
        return ok(QStringList{password});
    case Command::GetStorage:
        return ok(QStringList{QString::number(storage)});
    case Command::SetStorage:
        if (f.size() != 1 || (field(0) != u"1" && field(0) != u"2")) return bad();
        storage = field(0).toInt();
        return ok();
    case Command::SetLogo:
        if (f.size() != 1 || (field(0) != u"1" && field(0) != u"0")) return bad();
        logo = field(0) == u"1" ? QStringLiteral("maker") : QStringLiteral("cleared");
        return ok();
    case Command::PicturePacket:
        return picturePacket(payload);
    case Command::ShortMessage:
        return shortMessage(f);
    case Command::Voice: {
        if (f.size() != 1 || !isDigits(field(0), 1, 3)) return bad();
        const int n = field(0).toInt();
        if (n < 1 || n > 8) return refused();  // the terminal has prompts 1 to 8
        voice = n;
        return ok();
    }
    default:
        return {ReplyStatus::Unknown, {}};
    }
}

Terminal::Reply Terminal::recordPacket(const QByteArray &payload) const
{
    const int packet = packetNumber(payload);
    if (packet < 1) return bad();
    RecordWire::PacketHeader h;
    h.totalItems = uint32_t(records.size());
    h.totalPackets = uint16_t((records.size() + RecordsPerPacket - 1) / RecordsPerPacket);
    h.packet = uint16_t(packet);
    QByteArray data = RecordWire::encodeHeader(h);
    const qsizetype first = qsizetype(packet - 1) * RecordsPerPacket;
    for (qsizetype i = first; i < records.size() && i < first + RecordsPerPacket; ++i) {
        WireRecord w;
        w.card = records[i].card;
        w.when = records[i].when.toDateTime();
        w.flag = QByteArray(records[i].flag.data(), 4);
        data += RecordWire::encode(w);
    }
    return ok(data);
}

Terminal::Reply Terminal::rosterPacket(const QByteArray &payload) const
{
    const int packet = packetNumber(payload);
    if (packet < 1) return bad();
    RecordWire::PacketHeader h;
    h.totalItems = uint32_t(roster.size());
    h.totalPackets = uint16_t((roster.size() + RosterPerPacket - 1) / RosterPerPacket);
    h.packet = uint16_t(packet);
    QStringList f;
    const qsizetype first = qsizetype(packet - 1) * RosterPerPacket;
    for (qsizetype i = first; i < roster.size() && i < first + RosterPerPacket; ++i)
        f << RecordWire::cardHex(roster[i].card) << roster[i].jobNo << roster[i].name;
    return ok(RecordWire::encodeHeader(h) + Fields::join(f));
}

Terminal::Reply Terminal::putRecord(const QStringList &f)
{
    uint32_t card = 0;
    const QDateTime when = FieldRules::time(Fields::field(f, 1));
    const QString c1 = Fields::field(f, 2), c2 = Fields::field(f, 3);
    if (f.size() != 4 || !parseCard(f[0], card) || !when.isValid() || !isHex(c1, 2) || !isHex(c2, 2)) return bad();
    Record r;
    r.card = card;
    r.when = PackedTime::fromDateTime(when);
    const QByteArray flag = (c1 + c2).toLatin1();
    std::copy(flag.begin(), flag.end(), r.flag.begin());
    append(r);
    return ok();
}

Terminal::Reply Terminal::addCard(const QStringList &f)
{
    Card c;
    if (f.size() != 5 || !parseCard(f[0], c.card)) return bad();
    c.jobNo = f[1];
    c.name = f[2];
    c.level = f[3];
    c.expires = f[4];
    const bool neverExpires = c.expires == u"00000000";
    if (!FieldRules::jobNumber(c.jobNo) || !FieldRules::name(c.name) || !isHex(c.level, 2) || !isDigits(c.expires, 8, 8)
        || (!neverExpires && !QDate::fromString(c.expires, QStringLiteral("yyyyMMdd")).isValid()))
        return bad();
    const int i = findCard(c.card);
    if (i >= 0) {
        roster[i] = c;  // issuing a known card again updates its entry
        return ok();
    }
    if (roster.size() >= rosterCapacity) return refused();
    roster.append(c);
    return ok();
}

Terminal::Reply Terminal::setDateTime(const QStringList &f)
{
    const QDateTime t = FieldRules::time(Fields::field(f, 0));
    const QString code = Fields::field(f, 1);
    if (f.size() != 2 || !t.isValid() || (code != u"01" && code != u"00")) return bad();
    const QDateTime before = now();
    setClock(t);
    if (code == u"01") timeChangeLog.append({before, t});  // "00" sets the clock without a log entry
    return ok();
}

Terminal::Reply Terminal::setAlarms(const QStringList &f)
{
    if (f.size() < 1 || f.size() > 17 || !isDigits(f[0], 1, 3) || f[0].toInt() > 255) return bad();
    QStringList times;
    for (int i = 1; i < f.size(); ++i) {
        if (!QTime::fromString(f[i], QStringLiteral("HH:mm")).isValid()) return bad();
        times << f[i];
    }
    ringPeriod = f[0];
    alarms = times;
    return ok();
}

Terminal::Reply Terminal::setParameters(const QStringList &f)
{
    if (f.size() != 3 || !isHex(f[0], 4) || !isHex(f[1], 4) || !isHex(f[2], 4)) return bad();
    relay = f[0];
    interval = f[1];
    mode = f[2];
    return ok();
}

Terminal::Reply Terminal::setAddress(const QStringList &f)
{
    if (f.size() != 1 || !isDigits(f[0], 1, 3) || f[0].toInt() > 255) return bad();
    const int a = f[0].toInt();
    if (a != address && addressTaken && addressTaken(a)) return refused();
    address = a;
    return ok();
}

Terminal::Reply Terminal::picturePacket(const QByteArray &payload)
{
    constexpr int PictureBytes = DisplayWidth * DisplayHeight / 8;
    if (payload.size() < 4) return bad();
    const int packet = (uint8_t(payload[0]) << 8) | uint8_t(payload[1]);
    const int total = (uint8_t(payload[2]) << 8) | uint8_t(payload[3]);
    if (total < 1 || total > 64 || packet < 1 || packet > total) return bad();
    if (packet == 1) {
        pictureBits_.clear();
        picturePacket_ = 0;
    }
    if (packet != picturePacket_ + 1 || pictureBits_.size() + payload.size() - 4 > PictureBytes) {
        pictureBits_.clear();
        picturePacket_ = 0;
        return bad();
    }
    pictureBits_ += payload.mid(4);
    picturePacket_ = packet;
    if (packet < total) return ok();
    const QByteArray bits = pictureBits_;
    pictureBits_.clear();
    picturePacket_ = 0;
    if (bits.size() != PictureBytes) return bad();
    QStringList rows;
    for (int y = 0; y < DisplayHeight; ++y) {
        QString row;
        for (int x = 0; x < DisplayWidth; ++x) {
            const int bit = y * DisplayWidth + x;
            row += (uint8_t(bits[bit / 8]) & (0x80 >> (bit % 8))) ? u'1' : u'0';
        }
        rows << row;
    }
    picture = rows;
    logo = QStringLiteral("picture");
    return ok();
}

Terminal::Reply Terminal::shortMessage(const QStringList &f)
{
    if (f.size() != 2 || !isDigits(f[0], 1, 4) || TextCodec::encode(f[1]).size() > 32) return bad();
    messageMinutes = f[0].toInt();
    message = f[1];
    messageAt = now();
    return ok();
}
