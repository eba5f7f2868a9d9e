#include "attctl/RecordFiles.h"

#include "common/DurableFile.h"

#include <QFile>

namespace RecordFiles {

namespace {
bool save(const QString &path, const QByteArray &content, QString &error)
{
    QString reason;
    if (DurableFile::replace(path, content, &reason)) return true;
    error = QStringLiteral("cannot write ") + path + QStringLiteral(": ") + reason
            + QStringLiteral(" (the earlier file is kept)");
    return false;
}
}  // namespace

Result format(const QString &rawPath, const QString &outPath, const RecordLayout &layout)
{
    Result r;
    QFile in(rawPath);
    if (!in.open(QIODevice::ReadOnly)) {
        r.error = QStringLiteral("cannot read ") + rawPath + QStringLiteral(": ") + in.errorString();
        return r;
    }
    const QByteArray raw = in.readAll();
    // Widths only warn: the conversion takes what the line has, as the window does.
    const qsizetype width = 17 + (layout.decimalCards ? 10 : 8) + (layout.fullYear ? 4 : 2);
    qint64 n = 0;
    for (qsizetype pos = 0; pos < raw.size();) {
        qsizetype end = raw.indexOf('\n', pos);
        if (end < 0) end = raw.size();
        qsizetype length = end - pos;
        if (length > 0 && raw[end - 1] == '\r') --length;
        if (length > 0) {
            ++n;
            if (length != width && r.badWidthLines++ == 0) r.firstBadWidthLine = n;
        }
        pos = end + 1;
    }
    const QByteArray content = CompiledRecordLayout(layout).convertFile(raw, &r.lines);
    r.ok = save(outPath, content, r.error);
    r.writeFailed = !r.ok;
    return r;
}

bool writeEmpty(const QString &outPath, QString &error) { return save(outPath, QByteArray(), error); }

}  // namespace RecordFiles
