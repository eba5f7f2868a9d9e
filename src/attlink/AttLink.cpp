#include "attlink/AttLink.h"

#include "attlink/OperationArgs.h"
#include "attlink/protocol/RecordWire.h"
#include "common/TextCodec.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QTime>

namespace {

int addressOf(const QString &text) { return OperationArgs::address(text); }
int addressOf(qint16 value) { return OperationArgs::address(value); }

}  // namespace

QString AttLink::pathIn(const QString &folder, const QString &name)
{
    return folder.isEmpty() ? name : QDir(folder).filePath(name);
}

AttLink::AttLink(const QString &appFolder) : AttLink(LinkSettings::load(appFolder)) {}

AttLink::AttLink(const LinkSettings &settings)
    : settings_(settings), ownSerial_(std::make_unique<TerminalClient>(settings)),
      ownTcp_(std::make_unique<TerminalClient>(settings)), serial_(ownSerial_.get()), tcp_(ownTcp_.get())
{
    forwardProgress();
}

AttLink::AttLink(TerminalClient &line) : settings_(line.settings()), serial_(&line), tcp_(&line), mode_(line.isTcp())
{
    forwardProgress();
}

AttLink::~AttLink() = default;

void AttLink::forwardProgress()
{
    for (TerminalClient *c : {serial_, tcp_})
        c->setProgress([this](qint64 done, qint64 expected) { reportProgress(done, expected); });
}

void AttLink::abandon()
{
    serial_->abandon();
    tcp_->abandon();
}

bool AttLink::done(const ClientResult &r)
{
    last_ = r;
    return r.ok();
}

const Exchange &AttLink::exchangeStats() const
{
    const TerminalClient &c = mode_ == 1 ? *tcp_ : *serial_;
    return c.exchange() ? *c.exchange() : idleExchange_;
}

QVariant AttLink::SetPort(QVariant &port)
{
    bool ok = false;
    const int n = port.toString().trimmed().toInt(&ok);
    const QString path = ok ? settings_.devicePathFor(n) : QString();
    if (path.isEmpty()) return done(ClientResult::failed(LinkFailure::BadArgument));
    return done(serial_->openSerial(path, settings_.baud));
}

void AttLink::Mode(qint16 value) { mode_ = value == 1 ? 1 : 0; }

QVariant AttLink::Connect_Net(const QString &ip, const QString &port)
{
    bool ok = false;
    const int n = port.trimmed().toInt(&ok);
    if (!ok || n < 1 || n > 65535 || ip.trimmed().isEmpty()) {
        tcp_->close();
        return done(ClientResult::failed(LinkFailure::BadArgument, QStringLiteral("address or port not valid")));
    }
    return done(tcp_->openTcp(ip.trimmed(), quint16(n)));
}

QVariant AttLink::Disconnect_Net()
{
    const bool was = tcp_->isOpen();
    tcp_->close();
    return was;
}

QVariant AttLink::tcpstate() { return tcp_->tcpState(); }

QVariant AttLink::Ver() { return QStringLiteral("V7.6.8"); }

// ---- records ----

QVariant AttLink::GatherRecordSum(const QString &address, qint32 &count, const QString &ok)
{
    // "ok" asks for the number of records held; nothing else is a count the terminal keeps.
    if (ok.trimmed().compare(QStringLiteral("ok"), Qt::CaseInsensitive) != 0)
        return done(ClientResult::failed(LinkFailure::BadArgument));
    return done(client().recordCount(addressOf(address), count));
}

QVariant AttLink::ClearRecord(qint16 address) { return done(client().clearRecords(addressOf(address))); }
QVariant AttLink::ClearFlag(qint16 address) { return done(client().clearFlags(addressOf(address))); }

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
        return done(ClientResult::failed(LinkFailure::BadArgument));
    return done(client().putRecord(addressOf(address), c, when, flag1 + flag2));
}

QVariant AttLink::ReadClearLog(qint16 address, QString &log)
{
    QByteArray text;
    if (!done(client().clearLog(addressOf(address), text))) return false;
    log = TextCodec::decode(text);
    return true;
}

QVariant AttLink::ReadChangeTimeLog(qint16 address, QString &log)
{
    QByteArray text;
    if (!done(client().timeChangeLog(addressOf(address), text))) return false;
    log = TextCodec::decode(text);
    return true;
}

// ---- roster ----

QVariant AttLink::GatherSendCardSum(const QString &address, qint32 &count)
{
    return done(client().rosterCount(addressOf(address), count));
}

QVariant AttLink::ClearNameList(qint16 address) { return done(client().clearRoster(addressOf(address))); }

QVariant AttLink::ReadCardNum(qint16 address, QString &reply)
{
    const int a = addressOf(address);
    uint32_t card = 0;
    QString flag, flagCode;
    if (!done(client().readCard(a, card, flag)) || !OperationArgs::hexCode(flag, 2, flagCode)) return QVariant();
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
    const QDate until = never ? QDate() : QDate::fromString(code00000000, QStringLiteral("yyyyMMdd"));
    if (!RecordWire::parseCard(card.trimmed(), c) || !OperationArgs::jobNumber(jobNo)
        || !OperationArgs::rosterName(name, DeviceLink::NameFieldBytes) || name.contains(QChar(0x1F))
        || code00.size() != 2 || !OperationArgs::hexCode(code00, 2, level) || !OperationArgs::digits(code00000000, 8, 8)
        || (!never && !until.isValid()))
        return done(ClientResult::failed(LinkFailure::BadArgument));
    return done(client().addCard(addressOf(address), c, jobNo, name, level, until));
}

QVariant AttLink::ClearName(qint16 address, const QString &card)
{
    uint32_t c = 0;
    if (!RecordWire::parseCard(card.trimmed(), c)) return done(ClientResult::failed(LinkFailure::BadArgument));
    return done(client().removeCard(addressOf(address), c));
}

QVariant AttLink::FindCard(qint16 address, const QString &card, bool &found)
{
    uint32_t c = 0;
    if (!RecordWire::parseCard(card.trimmed(), c)) return done(ClientResult::failed(LinkFailure::BadArgument));
    return done(client().findCard(addressOf(address), c, found));
}

// ---- clock, parameters ----

QVariant AttLink::ModifyDateTime(qint16 address, QString &date, QString &time, QString &code01)
{
    // code01: "01" records the change in the time-change log, "00" sets the clock silently.
    QDate d;
    QTime t;
    if (!OperationArgs::date(date, d) || !OperationArgs::time(time, t)
        || (code01 != QStringLiteral("01") && code01 != QStringLiteral("00")))
        return done(ClientResult::failed(LinkFailure::BadArgument));
    return done(client().setClock(addressOf(address), QDateTime(d, t, Qt::UTC), code01 == QStringLiteral("01")));
}

QVariant AttLink::SetClock(qint16 address, QVector<double> &alarms, const QString &ringPeriod)
{
    // The ring period: seconds the bell rings at each alarm, 0..255.
    const QString ring = ringPeriod.trimmed();
    if (!OperationArgs::digits(ring, 1, 3) || ring.toInt() > 255 || alarms.size() > 16)
        return done(ClientResult::failed(LinkFailure::BadArgument));
    QStringList alarmTimes;
    for (double v : alarms) {
        QString slot;
        if (!OperationArgs::alarmTime(v, slot)) return done(ClientResult::failed(LinkFailure::BadArgument));
        alarmTimes << slot;
    }
    return done(client().setAlarms(addressOf(address), ring.toInt(), alarmTimes));
}

QVariant AttLink::RepairSystemParameter(qint16 address, QString &relay, QString &interval, QString &mode)
{
    QString r, i, m;
    if (relay.size() != 4 || interval.size() != 4 || mode.size() != 4 || !OperationArgs::hexCode(relay, 4, r)
        || !OperationArgs::hexCode(interval, 4, i) || !OperationArgs::hexCode(mode, 4, m))
        return done(ClientResult::failed(LinkFailure::BadArgument));
    return done(client().setParameters(addressOf(address), r, i, m));
}

QVariant AttLink::ReadSystemParameter(const QString &address, QString &parameters)
{
    QByteArray text;
    if (!done(client().readParameters(addressOf(address), text))) return false;
    parameters = TextCodec::decode(text);
    return true;
}

QVariant AttLink::RepairAddress(qint16 address, qint16 newAddress)
{
    return done(client().setAddress(addressOf(address), addressOf(newAddress)));
}

QVariant AttLink::SetMachinePassword(const QString &address, const QString &password)
{
    // The menu password: 1 to 4 digits, kept by the terminal as 4 (7 is 0007).
    const QString p = password.trimmed();
    if (!OperationArgs::digits(p, 1, 4)) return done(ClientResult::failed(LinkFailure::BadArgument));
    return done(client().setPassword(addressOf(address), p));
}

QVariant AttLink::GetMachinePassword(qint16 address)
{
    int password = 0;
    return qint16(done(client().getPassword(addressOf(address), password)) ? password : -1);
}

QVariant AttLink::GetStorageModel(const QString &address)
{
    // A code the terminal sent is its answer, even one that is no mode (the console says the reading
    // went wrong); only a reply that cannot be read as a 16-bit code ("65537", "x") is the failure -1.
    int code = 0;
    return qint16(done(client().getStorage(addressOf(address), code)) ? code : -1);
}

QVariant AttLink::SetStorageModel(const QString &address, qint16 code)
{
    return done(client().setStorage(addressOf(address), code));
}

// ---- pictures, messages, voice ----

QVariant AttLink::SetLogoMode(qint16 address, bool restore)
{
    return done(client().setLogo(addressOf(address), restore));
}

QVariant AttLink::SendPictureMach(const QString &address, QString &fileName)
{
    // A picture file is a text bitmap of the display: 64 lines of 128 characters, "1" or "#" a lit
    // dot, "0" or "." a dark one; blank lines are ignored. It travels packed, 8 dots a byte.
    constexpr int Width = 128, Height = 64;
    QFile f(fileName);
    if (addressOf(address) < 0 || !f.open(QIODevice::ReadOnly) || f.size() > 64 * 1024)
        return done(ClientResult::failed(LinkFailure::BadArgument));
    const QStringList lines = TextCodec::splitLines(QString::fromLatin1(f.readAll()));
    QByteArray bits(Width * Height / 8, '\0');
    int rows = 0;
    for (const QString &line : lines) {
        if (line.isEmpty()) continue;
        if (line.size() != Width || rows == Height) return done(ClientResult::failed(LinkFailure::BadArgument));
        for (int x = 0; x < Width; ++x) {
            const QChar c = line[x];
            if (c == u'1' || c == u'#')
                bits[(rows * Width + x) / 8] = char(bits[(rows * Width + x) / 8] | (0x80 >> (x % 8)));
            else if (c != u'0' && c != u'.')
                return done(ClientResult::failed(LinkFailure::BadArgument));
        }
        ++rows;
    }
    if (rows != Height) return done(ClientResult::failed(LinkFailure::BadArgument));
    return done(client().sendPicture(addressOf(address), bits));
}

QVariant AttLink::SendShortMsg(const QString &address, const QString &minutes, const QString &message)
{
    // Minutes on the display, 0..9999 (0: until the next message); at most 16 Chinese characters.
    const QString m = minutes.trimmed();
    const QByteArray text = TextCodec::encode(message);
    if (!OperationArgs::digits(m, 1, 4) || text.size() > 32 || text.contains(char(0x1F)))
        return done(ClientResult::failed(LinkFailure::BadArgument));
    return done(client().shortMessage(addressOf(address), m.toInt(), message));
}

QVariant AttLink::GetSounds(const QString &address, const QString &number)
{
    const QString n = number.trimmed();
    if (!OperationArgs::digits(n, 1, 3)) return done(ClientResult::failed(LinkFailure::BadArgument));
    return done(client().voice(addressOf(address), n.toInt()));
}
