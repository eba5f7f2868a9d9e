#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>

// Readings of the texts the console hands to the device link. Each gives false (or -1) for a text
// that is not well formed, and the operation then refuses without sending anything.
namespace OperationArgs {

// A terminal address: the text converted to a 16-bit integer as the window converts it (blanks
// around, a decimal point and an exponent allowed, halves rounded to even) when it lies in 0..255, else -1.
int address(const QString &text);
int address(qint16 value);
// A packet number 1..65535, else 0.
int packet(const QString &text);

// Two-digit years belong to this century: the terminals keep 2000..2099.
// Date: "yyMMdd" (what the console sends), "yyyy-MM-dd" or "yyyy/M/d".
bool date(const QString &text, QDate &out);
// Time: "HHmmss" (what the console sends), "HH:mm:ss" or "H:mm".
bool time(const QString &text, QTime &out);
// A record's date and time: "yyMMddHHmmss" (12 digits, the send-records panel), "yyyyMMddHHmmss",
// or "yyyy-MM-dd HH:mm:ss".
bool recordTime(const QString &text, QDateTime &out);

// 1..width hexadecimal digits, given back upper case and padded on the left with "0" to width.
bool hexCode(const QString &text, int width, QString &out);
// minLen..maxLen decimal digits, nothing else.
bool digits(const QString &text, int minLen, int maxLen);
// A job number: 1..8 printable ASCII characters or blanks, other than "," (the roster file's separator).
bool jobNumber(const QString &text);
// A card holder's name as a terminal keeps it: at most `maxBytes` bytes of GB18030 and no control or
// format character (a CR LF, an escape sequence or a right-to-left override inside a name would forge
// or garble a roster line).
bool rosterName(const QString &text, int maxBytes);
// An alarm slot: an automation date's time of day on the zero day (0 <= v < 1) as "hh:mm".
bool alarmTime(double value, QString &out);

}  // namespace OperationArgs
