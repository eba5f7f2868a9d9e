#include "attlink/OperationArgs.h"

#include "common/NumberText.h"
#include "common/TextCodec.h"

#include <cmath>

namespace OperationArgs {

namespace {
bool allDigits(const QString &s)
{
    for (QChar c : s)
        if (c < u'0' || c > u'9') return false;
    return true;
}
int number(const QString &s, int from, int len) { return s.mid(from, len).toInt(); }
}  // namespace

int address(const QString &text)
{
    // The window's reading of an address text, so that a text reaches the same terminal whether a
    // command passes it as text or converted to a number.
    const auto a = NumberText::terminalAddress(text);
    return a ? int(*a) : -1;
}

int address(qint16 value) { return value >= 0 && value <= 255 ? value : -1; }

int packet(const QString &text)
{
    bool ok = false;
    const int p = text.trimmed().toInt(&ok);
    return ok && p >= 1 && p <= 65535 ? p : 0;
}

bool date(const QString &text, QDate &out)
{
    const QString t = text.trimmed();
    if (t.size() == 6 && allDigits(t))
        out = QDate(2000 + number(t, 0, 2), number(t, 2, 2), number(t, 4, 2));
    else if ((out = QDate::fromString(t, QStringLiteral("yyyy-MM-dd"))).isValid())
        return true;
    else
        out = QDate::fromString(t, QStringLiteral("yyyy/M/d"));
    return out.isValid();
}

bool time(const QString &text, QTime &out)
{
    const QString t = text.trimmed();
    if (t.size() == 6 && allDigits(t))
        out = QTime(number(t, 0, 2), number(t, 2, 2), number(t, 4, 2));
    else if ((out = QTime::fromString(t, QStringLiteral("HH:mm:ss"))).isValid())
        return true;
    else
        out = QTime::fromString(t, QStringLiteral("H:mm"));
    return out.isValid();
}

bool recordTime(const QString &text, QDateTime &out)
{
    const QString t = text.trimmed();
    QDate d;
    QTime tm;
    if (t.size() == 12 && allDigits(t)) {
        d = QDate(2000 + number(t, 0, 2), number(t, 2, 2), number(t, 4, 2));
        tm = QTime(number(t, 6, 2), number(t, 8, 2), number(t, 10, 2));
    } else if (t.size() == 14 && allDigits(t)) {
        d = QDate(number(t, 0, 4), number(t, 4, 2), number(t, 6, 2));
        tm = QTime(number(t, 8, 2), number(t, 10, 2), number(t, 12, 2));
    } else if (t.size() == 19) {
        d = QDate::fromString(t.left(10), QStringLiteral("yyyy-MM-dd"));
        tm = QTime::fromString(t.mid(11), QStringLiteral("HH:mm:ss"));
        if (t[10] != u' ') d = QDate();
    }
    if (!d.isValid() || !tm.isValid()) return false;
    out = QDateTime(d, tm, Qt::UTC);  // wall-clock time, no zone
    return true;
}

bool hexCode(const QString &text, int width, QString &out)
{
    if (text.isEmpty() || text.size() > width) return false;
    for (QChar c : text)
        if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F'))) return false;
    out = text.toUpper().rightJustified(width, u'0');
    return true;
}

bool digits(const QString &text, int minLen, int maxLen)
{
    return text.size() >= minLen && text.size() <= maxLen && allDigits(text);
}

bool jobNumber(const QString &text)
{
    if (text.isEmpty() || text.size() > 8) return false;
    for (QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() > 0x7E || c == u',') return false;
    return true;
}

bool rosterName(const QString &text, int maxBytes)
{
    for (QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || (c.unicode() >= 0x80 && c.unicode() < 0xA0)
            || c == QChar::ReplacementCharacter || c.category() == QChar::Other_Format)
            return false;
    return TextCodec::encode(text).size() <= maxBytes;
}

bool alarmTime(double value, QString &out)
{
    if (!(value >= 0.0 && value < 1.0)) return false;
    const int minutes = int(std::lround(value * 1440.0)) % 1440;
    out = QStringLiteral("%1:%2").arg(minutes / 60, 2, 10, QLatin1Char('0')).arg(minutes % 60, 2, 10, QLatin1Char('0'));
    return true;
}

}  // namespace OperationArgs
