#pragma once

#include <QString>

// The text forms of a card's fields as the card commands show and send them. Pure functions of text.
namespace CardForms {

// Card numbers are shown and sent as exactly this many characters.
constexpr int CardDigits = 10;
// Job numbers are sent as exactly this many characters.
constexpr int JobDigits = 8;

// The last 10 characters of "0000000000" + the value: 8036229 gives 0008036229.
QString decimalForm(const QString &value);

// The value read as a whole number in the signed 32-bit range, in upper-case hexadecimal without
// leading zeros (8036229 gives 7A9F85; a negative number shows its 32-bit pattern). Raises
// RaisedError 13 for a text that is not a whole number, 6 for one outside the range.
QString hexForm(const QString &value);

// The terminal that answered a card read: the hexadecimal digits at the start of the reply's first two
// characters ("69..." is 105); a reply without such a digit reads as 0.
int answeredAddress(const QString &reply);

// The job number trimmed, then cut to its first 8 characters or left-padded with "0" to 8.
QString jobNumberForm(const QString &text);

// Bytes the name takes in the terminal's name field (GB18030).
int nameBytes(const QString &name);

}  // namespace CardForms
