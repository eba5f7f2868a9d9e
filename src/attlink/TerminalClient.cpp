// The line of a terminal client and its simple commands; the collections are in ClientCollections.cpp.
#include "attlink/TerminalClient.h"

#include "attlink/Exchange.h"
#include "attlink/LinkLog.h"
#include "attlink/OperationArgs.h"
#include "attlink/protocol/Fields.h"
#include "attlink/protocol/RecordWire.h"
#include "attlink/transport/SerialChannel.h"
#include "attlink/transport/TcpChannel.h"

namespace {

QByteArray u16(int v)
{
    QByteArray b(2, '\0');
    b[0] = char(v >> 8);
    b[1] = char(v);
    return b;
}

bool validAddress(int address) { return address >= 0 && address <= 255; }

}  // namespace

TerminalClient::TerminalClient(const LinkSettings &settings) : settings_(settings) {}
TerminalClient::~TerminalClient() = default;

ClientResult TerminalClient::openSerial(const QString &device, int baud)
{
    close();
    if (baud > 0) settings_.baud = baud;
    auto channel = std::make_unique<SerialChannel>();
    channel->setAbandonFlag(&abandoned_);
    const bool opened = channel->open(device, settings_.baud);
    serial_ = std::move(channel);  // kept closed too: it says why it failed
    if (!opened) {
        qCInfo(linkLog).noquote() << QStringLiteral("cannot open %1 at %2 baud: %3")
                                         .arg(device)
                                         .arg(settings_.baud)
                                         .arg(serial_->lastError());
        return ClientResult::lineFailed(LinkFailure::LineFailed, serial_->lastError());
    }
    qCInfo(linkLog).noquote() << QStringLiteral("opened %1 at %2 baud").arg(device).arg(settings_.baud);
    exchange_ = std::make_unique<Exchange>(*serial_, settings_);
    return {};
}

ClientResult TerminalClient::openTcp(const QString &host, quint16 port)
{
    close();
    tcp_ = std::make_unique<TcpChannel>();
    tcp_->setAbandonFlag(&abandoned_);
    if (!tcp_->connectTo(host, QString::number(port), settings_.connectTimeoutMs)) {
        qCInfo(linkLog).noquote()
            << QStringLiteral("cannot connect to %1 port %2: %3").arg(host).arg(port).arg(tcp_->connectFailure());
        return ClientResult::lineFailed(LinkFailure::LineFailed, tcp_->lastError());
    }
    qCInfo(linkLog).noquote() << QStringLiteral("connected to %1 port %2").arg(host).arg(port)
            + (settings_.tcpBaud > 0 ? QStringLiteral(", a converter at %1 baud").arg(settings_.tcpBaud) : QString());
    exchange_ = std::make_unique<Exchange>(*tcp_, settings_);
    return {};
}

void TerminalClient::close()
{
    exchange_.reset();
    if (serial_) serial_->release();
    if (tcp_) tcp_->close();
    serial_.reset();
    tcp_.reset();
}

bool TerminalClient::isOpen() const { return (serial_ && serial_->isOpen()) || (tcp_ && tcp_->isOpen()); }
FdChannel *TerminalClient::channel()
{
    if (tcp_) return tcp_.get();
    return serial_.get();
}

bool TerminalClient::isTcp() const { return tcp_ != nullptr; }
int TerminalClient::tcpState() const { return tcp_ ? tcp_->state() : 0; }
const PortFailure &TerminalClient::portFailure() const { return serial_ ? serial_->failure() : noFailure_; }
QString TerminalClient::connectFailure() const { return tcp_ ? tcp_->connectFailure() : QString(); }

void TerminalClient::report(qint64 done, qint64 expected) const
{
    if (progress_) progress_(done, expected);
}

ClientResult TerminalClient::request(int address, uint8_t command, const QByteArray &payload, QByteArray *data)
{
    if (!validAddress(address))
        return ClientResult::failed(LinkFailure::BadArgument, QStringLiteral("address not valid (0..255)"));
    if (!exchange_) return ClientResult::failed(LinkFailure::NotOpen);
    const Exchange::Reply r = exchange_->request(uint8_t(address), command, payload);
    if (!r.answered) {
        if (r.failure == LinkFailure::LineFailed || r.failure == LinkFailure::Disconnected)
            return ClientResult::lineFailed(r.failure, r.lineError);
        return ClientResult::failed(r.failure, {}, exchange_->lastDeadlineMs());
    }
    if (data) *data = r.data;
    return ClientResult::status(r.status);
}

ClientResult TerminalClient::ask(int address, uint8_t command, const QStringList &fields, QByteArray *data)
{
    return request(address, command, Fields::join(fields), data);
}

ClientResult TerminalClient::askCount(int address, uint8_t command, qint32 &count)
{
    QByteArray data;
    const ClientResult r = ask(address, command, {}, &data);
    if (!r.ok()) return r;
    bool valid = false;
    const qint32 n = Fields::field(Fields::split(data), 0).toInt(&valid);
    if (!valid || n < 0)
        return ClientResult::failed(LinkFailure::BadContent, QStringLiteral("damaged reply: no count"));
    count = n;
    return r;
}

ClientResult TerminalClient::recordCount(int address, qint32 &count)
{
    return askCount(address, Command::RecordCount, count);
}
ClientResult TerminalClient::rosterCount(int address, qint32 &count)
{
    return askCount(address, Command::RosterCount, count);
}
ClientResult TerminalClient::clearRecords(int address) { return ask(address, Command::ClearRecords); }
ClientResult TerminalClient::clearFlags(int address) { return ask(address, Command::ClearFlags); }
ClientResult TerminalClient::clearRoster(int address) { return ask(address, Command::ClearRoster); }
ClientResult TerminalClient::clearLog(int address, QByteArray &log)
{
    return ask(address, Command::ClearLog, {}, &log);
}
ClientResult TerminalClient::timeChangeLog(int address, QByteArray &log)
{
    return ask(address, Command::TimeChangeLog, {}, &log);
}
ClientResult TerminalClient::readParameters(int address, QByteArray &text)
{
    return ask(address, Command::ReadParameters, {}, &text);
}
ClientResult TerminalClient::removeCard(int address, quint32 card)
{
    return ask(address, Command::RemoveCard, {RecordWire::cardHex(card)});
}
ClientResult TerminalClient::setLogo(int address, bool restore)
{
    return ask(address, Command::SetLogo, {restore ? QStringLiteral("1") : QStringLiteral("0")});
}

ClientResult TerminalClient::putRecord(int address, quint32 card, const QDateTime &when, const QString &flag)
{
    if (!when.isValid() || when.date().year() < 1 || when.date().year() > 9999 || flag.size() != 4)
        return ClientResult::failed(LinkFailure::BadArgument);
    return ask(address, Command::PutRecord,
               {RecordWire::cardHex(card), when.toString(QStringLiteral("yyyyMMddHHmmss")), flag.left(2), flag.mid(2)});
}

ClientResult TerminalClient::addCard(int address, quint32 card, const QString &jobNo, const QString &name,
                                     const QString &level, const QDate &validUntil)
{
    const QString until =
        validUntil.isNull() ? QStringLiteral("00000000") : validUntil.toString(QStringLiteral("yyyyMMdd"));
    return ask(address, Command::AddCard, {RecordWire::cardHex(card), jobNo, name, level, until});
}

ClientResult TerminalClient::findCard(int address, quint32 card, bool &found)
{
    QByteArray data;
    const ClientResult r = ask(address, Command::FindCard, {RecordWire::cardHex(card)}, &data);
    if (!r.ok()) return r;
    const QString answer = Fields::field(Fields::split(data), 0);
    if (answer != u"1" && answer != u"0")
        return ClientResult::failed(LinkFailure::BadContent, QStringLiteral("damaged reply: no yes or no"));
    found = answer == u"1";
    return r;
}

ClientResult TerminalClient::readCard(int address, quint32 &card, QString &flag)
{
    QByteArray data;
    const ClientResult r = ask(address, Command::ReadCard, {}, &data);
    if (!r.ok()) return r;
    const QStringList f = Fields::split(data);
    flag = Fields::field(f, 1);
    if (Fields::field(f, 0).size() != 8 || !RecordWire::parseCard(Fields::field(f, 0), card) || flag.size() != 2)
        return ClientResult::failed(LinkFailure::BadContent, QStringLiteral("damaged reply: no card"));
    return r;
}

ClientResult TerminalClient::setClock(int address, const QDateTime &when, bool logged)
{
    if (!when.isValid() || when.date().year() < 1 || when.date().year() > 9999)
        return ClientResult::failed(LinkFailure::BadArgument, QStringLiteral("no valid time"));
    // The terminal's clock has no zone: the fields of `when` as they read.
    return ask(address, Command::SetDateTime,
               {when.toString(QStringLiteral("yyyyMMddHHmmss")), logged ? QStringLiteral("01") : QStringLiteral("00")});
}

ClientResult TerminalClient::setAlarms(int address, int ringSeconds, const QStringList &alarms)
{
    if (ringSeconds < 0 || ringSeconds > 255 || alarms.size() > 16)
        return ClientResult::failed(LinkFailure::BadArgument);
    return ask(address, Command::SetAlarms, QStringList{QString::number(ringSeconds)} + alarms);
}

ClientResult TerminalClient::setParameters(int address, const QString &relay, const QString &interval,
                                           const QString &mode)
{
    return ask(address, Command::SetParameters, {relay, interval, mode});
}

ClientResult TerminalClient::setAddress(int address, int newAddress)
{
    if (!validAddress(newAddress))
        return ClientResult::failed(LinkFailure::BadArgument, QStringLiteral("new address not valid (0..255)"));
    return ask(address, Command::SetAddress, {QString::number(newAddress)});
}

ClientResult TerminalClient::setPassword(int address, const QString &digits)
{
    return ask(address, Command::SetPassword, {digits});
}

ClientResult TerminalClient::getPassword(int address, int &password)
{
    QByteArray data;
    const ClientResult r = ask(address, Command::GetPassword, {}, &data);
    if (!r.ok()) return r;
    const QString text = Fields::field(Fields::split(data), 0);
    if (!OperationArgs::digits(text, 1, 4))
        return ClientResult::failed(LinkFailure::BadContent, QStringLiteral("damaged reply: no password"));
    password = text.toInt();
    return r;
}

ClientResult TerminalClient::getStorage(int address, int &code)
{
    QByteArray data;
    const ClientResult r = ask(address, Command::GetStorage, {}, &data);
    if (!r.ok()) return r;
    // A code the terminal sent is its answer, even one that is no mode; only a field that reads as no
    // 16-bit code ("65537", "x") is a damaged reply.
    const QString text = Fields::field(Fields::split(data), 0);
    if (!OperationArgs::digits(text, 1, 5) || text.toInt() > 32767)
        return ClientResult::failed(LinkFailure::BadContent, QStringLiteral("damaged reply: no storage mode"));
    code = text.toInt();
    return r;
}

ClientResult TerminalClient::setStorage(int address, int code)
{
    if (code != 1 && code != 2) return ClientResult::failed(LinkFailure::BadArgument);
    return ask(address, Command::SetStorage, {QString::number(code)});
}

ClientResult TerminalClient::sendPicture(int address, const QByteArray &bits)
{
    constexpr int Packets = 4;
    if (bits.size() != 128 * 64 / 8) return ClientResult::failed(LinkFailure::BadArgument);
    const int per = int(bits.size()) / Packets;
    for (int p = 1; p <= Packets; ++p) {
        const ClientResult r =
            request(address, Command::PicturePacket, u16(p) + u16(Packets) + bits.mid((p - 1) * per, per));
        if (!r.ok()) return r;
        report(p, Packets);
    }
    return {};
}

ClientResult TerminalClient::shortMessage(int address, int minutes, const QString &text)
{
    if (minutes < 0 || minutes > 9999) return ClientResult::failed(LinkFailure::BadArgument);
    return ask(address, Command::ShortMessage, {QString::number(minutes), text});
}

ClientResult TerminalClient::voice(int address, int prompt)
{
    if (prompt < 1 || prompt > 255) return ClientResult::failed(LinkFailure::BadArgument);
    return ask(address, Command::Voice, {QString::number(prompt)});
}
