#include "common/TextCodec.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace TextCodec {

QByteArray encode(const QString &text)
{
    QStringEncoder enc("GB18030");
    if (!enc.isValid()) return text.toLocal8Bit();
    return enc.encode(text);
}

QString decode(const QByteArray &bytes)
{
    QStringDecoder dec("GB18030");
    if (!dec.isValid()) return QString::fromLocal8Bit(bytes);
    return dec.decode(bytes);
}

QStringList splitLines(const QString &content)
{
    QStringList lines = content.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    for (QString &l : lines)
        if (l.endsWith(QLatin1Char('\r'))) l.chop(1);
    return lines;
}

QString joinLinesCrLf(const QStringList &lines)
{
    QString out;
    for (const QString &l : lines) {
        out += l;
        out += QStringLiteral("\r\n");
    }
    return out;
}

}  // namespace TextCodec
