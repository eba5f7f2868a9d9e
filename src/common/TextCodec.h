#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The 8-bit text of the console's files and of names sent to a terminal: GB18030.
namespace TextCodec {

QByteArray encode(const QString &text);
QString decode(const QByteArray &bytes);

// Splits file content into lines ended by CR LF or LF (a last line without an end is kept).
QStringList splitLines(const QString &content);

// Joins lines, each ended by CR LF.
QString joinLinesCrLf(const QStringList &lines);

}  // namespace TextCodec
