#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <cstdint>

// The pieces that exports and reports write field by field, appended to bytes without a text class
// in between (millions of rows).
namespace FieldText {

// A card as 10 decimal digits and as 8 upper-case hexadecimal digits.
void appendCardDecimal(QByteArray &out, uint32_t card);
void appendCardHex(QByteArray &out, uint32_t card);
void appendDecimal(QByteArray &out, quint64 n);
// A CSV field (RFC 4180): quoted when it holds a comma, a quote or a line break.
void appendCsvField(QByteArray &out, QByteArrayView utf8);
// The same, with a cell starting with = + - @ given an apostrophe first when `spreadsheetSafe`, so
// that a spreadsheet shows it as text instead of running it as a formula.
void appendCsvCell(QByteArray &out, QByteArrayView utf8, bool spreadsheetSafe);
// A JSON string, quotes included; control characters escaped.
void appendJsonString(QByteArray &out, QByteArrayView utf8);

}  // namespace FieldText
