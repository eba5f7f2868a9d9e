#include "common/NumberText.h"

#include "common/RaisedError.h"

#include <cmath>

namespace NumberText {

namespace {

bool isBlank(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); }

// Length of the numeric prefix of s starting at pos (sign, digits, point, exponent); 0 when none.
qsizetype numericPrefix(const QString &s, qsizetype pos)
{
    qsizetype i = pos;
    const qsizetype n = s.size();
    if (i < n && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-'))) ++i;
    qsizetype digits = 0;
    while (i < n && s[i].isDigit() && s[i].unicode() < 128) {
        ++i;
        ++digits;
    }
    if (i < n && s[i] == QLatin1Char('.')) {
        ++i;
        while (i < n && s[i].isDigit() && s[i].unicode() < 128) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0) return 0;
    if (i < n && (s[i] == QLatin1Char('e') || s[i] == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        if (j < n && (s[j] == QLatin1Char('+') || s[j] == QLatin1Char('-'))) ++j;
        qsizetype expDigits = 0;
        while (j < n && s[j].isDigit() && s[j].unicode() < 128) {
            ++j;
            ++expDigits;
        }
        if (expDigits > 0) i = j;
    }
    return i - pos;
}

}  // namespace

std::optional<double> toNumber(const QString &text)
{
    qsizetype b = 0, e = text.size();
    while (b < e && isBlank(text[b])) ++b;
    while (e > b && isBlank(text[e - 1])) --e;
    if (b == e) return std::nullopt;
    const qsizetype len = numericPrefix(text, b);
    if (len != e - b) return std::nullopt;
    bool ok = false;
    const double v = text.mid(b, len).toDouble(&ok);
    if (!ok || !std::isfinite(v)) return std::nullopt;
    return v;
}

double leadingNumber(const QString &text)
{
    qsizetype b = 0;
    while (b < text.size() && isBlank(text[b])) ++b;
    const qsizetype len = numericPrefix(text, b);
    if (len == 0) return 0.0;
    bool ok = false;
    const double v = text.mid(b, len).toDouble(&ok);
    return ok && std::isfinite(v) ? v : 0.0;
}

double roundHalfEven(double value)
{
    return std::nearbyint(value);  // the default rounding mode is to nearest, ties to even
}

std::optional<qint16> toInt16(const QString &text)
{
    const auto v = toNumber(text);
    if (!v) return std::nullopt;
    const double r = roundHalfEven(*v);
    if (r < -32768.0 || r > 32767.0) return std::nullopt;
    return static_cast<qint16>(r);
}

qint16 toInt16OrRaise(const QString &text)
{
    const auto v = toNumber(text);
    if (!v) throw RaisedError(RaisedError::TypeMismatch, QStringLiteral("类型不匹配"));
    const double r = roundHalfEven(*v);
    if (r < -32768.0 || r > 32767.0) throw RaisedError(RaisedError::Overflow, QStringLiteral("溢出"));
    return static_cast<qint16>(r);
}

std::optional<qint16> terminalAddress(const QString &text)
{
    const auto v = toInt16(text);
    if (!v || *v < 0 || *v > 255) return std::nullopt;
    return v;
}

std::optional<qint64> wholeNumber(QStringView text, qint64 low, qint64 high)
{
    if (text.isEmpty()) return std::nullopt;
    for (QChar c : text)
        if (c < u'0' || c > u'9') return std::nullopt;
    bool ok = false;
    const qint64 v = text.toLongLong(&ok);
    if (!ok || v < low || v > high) return std::nullopt;
    return v;
}

}  // namespace NumberText
