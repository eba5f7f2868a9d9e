#include "common/CsvText.h"

namespace CsvText {

void appendField(QByteArray &out, QByteArrayView field)
{
    bool plain = true;
    for (char c : field)
        if (c == ',' || c == '"' || c == '\n' || c == '\r') plain = false;
    if (plain) {
        out.append(field);
        return;
    }
    out.append('"');
    for (char c : field) {
        if (c == '"') out.append('"');
        out.append(c);
    }
    out.append('"');
}

bool splitLine(const QString &line, QStringList &fields, QString &why)
{
    fields.clear();
    QString field;
    qsizetype i = 0;
    const qsizetype n = line.size();
    while (true) {
        field.clear();
        // Blanks before an opening quote belong to no field.
        qsizetype start = i;
        while (start < n && line[start] == u' ') ++start;
        if (start < n && line[start] == u'"') {
            i = start + 1;
            while (true) {
                if (i >= n) {
                    why = QStringLiteral("a quoted field is not closed");
                    return false;
                }
                if (line[i] == u'"') {
                    if (i + 1 < n && line[i + 1] == u'"') {
                        field += u'"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += line[i++];
            }
            while (i < n && line[i] == u' ') ++i;
            if (i < n && line[i] != u',') {
                why = QStringLiteral("text after a closing quote");
                return false;
            }
        } else {
            const qsizetype comma = line.indexOf(u',', i);
            field = line.mid(i, comma < 0 ? -1 : comma - i);
            i = comma < 0 ? n : comma;
        }
        fields << field;
        if (i >= n) return true;
        ++i;  // the comma
    }
}

}  // namespace CsvText
