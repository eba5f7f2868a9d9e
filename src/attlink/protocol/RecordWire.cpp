#include "attlink/protocol/RecordWire.h"

#include <cctype>

namespace RecordWire {

QByteArray encode(const WireRecord &r)
{
    QByteArray out = cardHex(r.card).toLatin1();
    out += r.when.toString(QStringLiteral("yyyyMMddHHmmss")).toLatin1();
    QByteArray flag = r.flag.left(4);
    while (flag.size() < 4) flag.append('0');
    out += flag;
    return out;
}

bool decode(const QByteArray &bytes, WireRecord &out)
{
    if (bytes.size() != Size) return false;
    bool ok = false;
    const uint32_t card = QByteArray(bytes.left(8)).toUInt(&ok, 16);
    if (!ok) return false;
    for (int i = 0; i < 8; ++i)
        if (!isxdigit(uint8_t(bytes[i]))) return false;
    for (int i = 8; i < 22; ++i)
        if (!isdigit(uint8_t(bytes[i]))) return false;
    // The terminal's wall-clock time has no zone: read it as such, so that an hour skipped by the
    // local daylight-saving change is still a valid record.
    const QString digits = QString::fromLatin1(bytes.mid(8, 14));
    const QDate date = QDate::fromString(digits.left(8), QStringLiteral("yyyyMMdd"));
    const QTime time = QTime::fromString(digits.mid(8), QStringLiteral("HHmmss"));
    if (!date.isValid() || !time.isValid()) return false;
    const QDateTime when(date, time, Qt::UTC);
    const QByteArray flag = bytes.mid(22, 4);
    for (char c : flag)
        if (uint8_t(c) < 0x21 || uint8_t(c) > 0x7E) return false;
    out.card = card;
    out.when = when;
    out.flag = flag;
    return true;
}

QByteArray rawLine(int machine, const WireRecord &r, bool decimalCards, bool fullYear)
{
    QByteArray line = QByteArray::number(machine).rightJustified(3, '0');
    line += (decimalCards ? cardDecimal(r.card) : cardHex(r.card)).toLatin1();
    line += r.when.toString(fullYear ? QStringLiteral("yyyyMMddHHmmss") : QStringLiteral("yyMMddHHmmss")).toLatin1();
    line += r.flag;
    return line;
}

QByteArray encodeHeader(const PacketHeader &h)
{
    QByteArray out(PacketHeaderSize, '\0');
    out[0] = char(h.totalItems >> 24); out[1] = char(h.totalItems >> 16);
    out[2] = char(h.totalItems >> 8);  out[3] = char(h.totalItems);
    out[4] = char(h.totalPackets >> 8); out[5] = char(h.totalPackets);
    out[6] = char(h.packet >> 8); out[7] = char(h.packet);
    return out;
}

bool decodeHeader(const QByteArray &b, PacketHeader &out)
{
    if (b.size() < PacketHeaderSize) return false;
    auto u = [&](int i) { return uint32_t(uint8_t(b[i])); };
    out.totalItems = (u(0) << 24) | (u(1) << 16) | (u(2) << 8) | u(3);
    out.totalPackets = uint16_t((u(4) << 8) | u(5));
    out.packet = uint16_t((u(6) << 8) | u(7));
    return true;
}

bool parseCard(const QString &text, uint32_t &out)
{
    bool ok = false;
    if (text.size() == 8) {
        for (QChar c : text)
            if (!isxdigit(c.unicode() < 0x80 ? int(c.unicode()) : 0)) return false;
        out = text.toUInt(&ok, 16);
        return ok;
    }
    if (text.size() == 10) {
        for (QChar c : text)
            if (c < u'0' || c > u'9') return false;
        const qulonglong v = text.toULongLong(&ok, 10);
        if (!ok || v > 0xFFFFFFFFull) return false;
        out = uint32_t(v);
        return true;
    }
    return false;
}

QString cardHex(uint32_t card) { return QStringLiteral("%1").arg(card, 8, 16, QLatin1Char('0')).toUpper(); }
QString cardDecimal(uint32_t card) { return QStringLiteral("%1").arg(qulonglong(card), 10, 10, QLatin1Char('0')); }

}  // namespace RecordWire
