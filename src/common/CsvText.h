#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

// CSV as RFC 4180 has it: fields separated by commas, a field with a comma, a quote or a line end
// quoted, quotes inside doubled.
namespace CsvText {

void appendField(QByteArray &out, QByteArrayView field);

// The fields of one line (its line end removed). False with `why` for a quote left open or text
// after a closing quote.
bool splitLine(const QString &line, QStringList &fields, QString &why);

}  // namespace CsvText
