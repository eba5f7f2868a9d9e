#pragma once

#include <QString>

// The forms of the arguments attctl hands to the device link, checked before anything is sent so
// that a refusal names the argument and the form it expects instead of "an argument is not valid".
// Each returns the text to pass on, or throws UsageError.
namespace ArgumentForms {

// 8 hexadecimal or 10 decimal digits.
QString card(const QString &text);
// A record's date and time: YYMMDDhhmmss, YYYYMMDDhhmmss or "YYYY-MM-DD hh:mm:ss".
QString recordTime(const QString &text);
// YYYY-MM-DD (also YYMMDD, YYYY/M/D) and hh:mm:ss (also hhmmss, h:mm).
QString date(const QString &text);
QString time(const QString &text);
// A short message: at most 32 bytes as the terminal stores it (16 Chinese characters), no control
// characters.
QString message(const QString &text);
// Minutes a message stays, 0..9999.
QString minutes(const QString &text);
// A voice prompt number, 1..255.
QString voicePrompt(const QString &text);
// The menu password: 1 to 4 digits.
QString password(const QString &text);
// A roster entry's job number (1..8 printable ASCII characters, no comma) and name (at most 16 bytes).
QString jobNumber(const QString &text);
QString name(const QString &text);
// A system parameter: 4 hexadecimal digits; `what` names which.
QString parameterWord(const QString &text, const QString &what);

}  // namespace ArgumentForms
