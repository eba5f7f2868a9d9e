#include "attlink/protocol/RecordWire.h"

#include "attlink/protocol/BigEndian.h"

#include <cctype>
#include <cstring>

namespace RecordWire {

namespace {

// Fixed-width decimal digits, without the locale-aware date parser and formatter: bulk collections
// convert every record through here.
bool digits(const char *p, int n, int &out)
{
    out = 0;
    for (int i = 0; i < n; ++i) {
        if (p[i] < '0' || p[i] > '9') return false;
        out = out * 10 + (p[i] - '0');
    }
    return true;
}

void putDigits(char *p, int n, int value)
{
    for (int i = n - 1; i >= 0; --i, value /= 10) p[i] = char('0' + value % 10);
}

// yyyyMMddHHmmss of a date and time.
void putDateTime(char *p, const QDateTime &when)
{
    const QDate d = when.date();
    const QTime t = when.time();
    putDigits(p, 4, d.year());
    putDigits(p + 4, 2, d.month());
    putDigits(p + 6, 2, d.day());
    putDigits(p + 8, 2, t.hour());
    putDigits(p + 10, 2, t.minute());
    putDigits(p + 12, 2, t.second());
}

constexpr char HexDigits[] = "0123456789ABCDEF";

}  // namespace

QByteArray encode(const WireRecord &r)
{
    QByteArray out(Size, '0');
    char *p = out.data();
    for (int i = 0; i < 8; ++i) p[i] = HexDigits[(r.card >> (28 - 4 * i)) & 0xF];
    putDateTime(p + 8, r.when);
    const QByteArray flag = r.flag.left(4);
    for (qsizetype i = 0; i < flag.size(); ++i) p[22 + i] = flag[i];
    return out;
}

bool decode(const QByteArray &bytes, WireRecord &out)
{
    if (bytes.size() != Size) return false;
    const char *p = bytes.constData();
    uint32_t card = 0;
    for (int i = 0; i < 8; ++i) {
        const int c = uint8_t(p[i]);
        if (!isxdigit(c)) return false;
        card = (card << 4) | uint32_t(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
    }
    int y, mo, d, h, mi, sec;
    if (!digits(p + 8, 4, y) || !digits(p + 12, 2, mo) || !digits(p + 14, 2, d) || !digits(p + 16, 2, h)
        || !digits(p + 18, 2, mi) || !digits(p + 20, 2, sec))
        return false;
    // The terminal's wall-clock time has no zone: read it as such, so that an hour skipped by the
    // local daylight-saving change is still a valid record.
    if (!QDate::isValid(y, mo, d) || !QTime::isValid(h, mi, sec)) return false;
    for (int i = 22; i < Size; ++i)
        if (uint8_t(p[i]) < 0x21 || uint8_t(p[i]) > 0x7E) return false;
    out.card = card;
    out.when = QDateTime(QDate(y, mo, d), QTime(h, mi, sec), Qt::UTC);
    out.flag = bytes.mid(22, 4);
    return true;
}

QByteArray rawLine(int machine, const WireRecord &r, bool decimalCards, bool fullYear)
{
    const int cardWidth = decimalCards ? 10 : 8;
    QByteArray line(3 + cardWidth + (fullYear ? 14 : 12) + 4, '0');
    char *p = line.data();
    putDigits(p, 3, machine);
    p += 3;
    if (decimalCards) {
        uint64_t v = r.card;
        for (int i = 9; i >= 0; --i, v /= 10) p[i] = char('0' + v % 10);
    } else {
        for (int i = 0; i < 8; ++i) p[i] = HexDigits[(r.card >> (28 - 4 * i)) & 0xF];
    }
    p += cardWidth;
    char stamp[14];
    putDateTime(stamp, r.when);
    const int skip = fullYear ? 0 : 2;
    std::memcpy(p, stamp + skip, size_t(14 - skip));
    p += 14 - skip;
    const QByteArray flag = r.flag.left(4);
    std::memcpy(p, flag.constData(), size_t(flag.size()));
    return line.left(3 + cardWidth + 14 - skip + flag.size());
}

QByteArray encodeHeader(const PacketHeader &h)
{
    QByteArray out;
    BigEndian::append(out, h.totalItems);
    BigEndian::append(out, h.totalPackets);
    BigEndian::append(out, h.packet);
    return out;
}

bool decodeHeader(const QByteArray &b, PacketHeader &out)
{
    if (b.size() < PacketHeaderSize) return false;
    out.totalItems = BigEndian::read<uint32_t>(b.constData());
    out.totalPackets = BigEndian::read<uint16_t>(b.constData() + 4);
    out.packet = BigEndian::read<uint16_t>(b.constData() + 6);
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
