#pragma once

#include <QString>
#include <optional>

// The readings of operator text as numbers that the commands use.
namespace NumberText {

// The text read as a number: blanks around it, a sign, a decimal point and an exponent allowed.
// The empty text (or blanks only) is not a number.
std::optional<double> toNumber(const QString &text);
inline bool readsAsNumber(const QString &text) { return toNumber(text).has_value(); }

// The number at the start of the text (after leading blanks); an empty or non-numeric text reads as 0.
double leadingNumber(const QString &text);

// Rounds halves to even, as the 16-bit conversion and the interval word do.
double roundHalfEven(double value);

// The text converted to a 16-bit integer: a number (as toNumber) rounded halves to even that fits in
// -32768..32767. Empty when it does not read as a number or does not fit.
std::optional<qint16> toInt16(const QString &text);

// As toInt16, but raises RaisedError: 13 (type mismatch) for a text that is not a number,
// 6 (overflow) for one that does not fit.
qint16 toInt16OrRaise(const QString &text);

// A whole number written in decimal digits alone (no sign, no blanks) in low..high; empty otherwise.
// The reading of counts, ports and seconds in files and on command lines.
std::optional<qint64> wholeNumber(QStringView text, qint64 low, qint64 high);

// Terminal address check: the text converted to a 16-bit integer lies in 0..255.
// Empty when the text is not a number or lies outside the range.
std::optional<qint16> terminalAddress(const QString &text);

}  // namespace NumberText
