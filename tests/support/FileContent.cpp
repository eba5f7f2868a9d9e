#include "support/FileContent.h"

#include "common/TextCodec.h"

#include <QFile>

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QStringList crlfLines(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {QStringLiteral("<missing>")};
    const QString all = TextCodec::decode(f.readAll());
    if (all.isEmpty()) return {};
    if (!all.endsWith(QStringLiteral("\r\n"))) return {QStringLiteral("<no CR LF at the end>")};
    QStringList lines = all.split(QStringLiteral("\r\n"));
    lines.removeLast();
    return lines;
}
