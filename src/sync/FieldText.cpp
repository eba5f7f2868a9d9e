#include "sync/FieldText.h"

#include "common/CsvText.h"

namespace FieldText {

void appendCardDecimal(QByteArray &out, uint32_t card)
{
    char digits[10];
    for (int i = 9; i >= 0; --i) {
        digits[i] = char('0' + card % 10);
        card /= 10;
    }
    out.append(digits, 10);
}

void appendCardHex(QByteArray &out, uint32_t card)
{
    static const char hex[] = "0123456789ABCDEF";
    char digits[8];
    for (int i = 0; i < 8; ++i) digits[i] = hex[(card >> (28 - 4 * i)) & 0xF];
    out.append(digits, 8);
}

void appendDecimal(QByteArray &out, quint64 n)
{
    char digits[20];
    int i = 20;
    do {
        digits[--i] = char('0' + n % 10);
        n /= 10;
    } while (n);
    out.append(digits + i, 20 - i);
}

void appendCsvField(QByteArray &out, QByteArrayView field) { CsvText::appendField(out, field); }

void appendCsvCell(QByteArray &out, QByteArrayView field, bool spreadsheetSafe)
{
    const char first = field.isEmpty() ? '\0' : field[0];
    if (!spreadsheetSafe || (first != '=' && first != '+' && first != '-' && first != '@'))
        return appendCsvField(out, field);
    QByteArray cell;
    cell.reserve(field.size() + 1);
    cell.append('\'').append(field);
    appendCsvField(out, cell);
}

void appendJsonString(QByteArray &out, QByteArrayView utf8)
{
    static const char hex[] = "0123456789abcdef";
    out.append('"');
    for (char c : utf8) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\')
            out.append('\\').append(c);
        else if (u < 0x20 || u == 0x7f)
            out.append("\\u00").append(hex[u >> 4]).append(hex[u & 0xF]);
        else
            out.append(c);
    }
    out.append('"');
}

}  // namespace FieldText
