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

namespace {
// Reads and converts the raw file. Every line must have the width the layout's card and year forms
// give: converting a line of another width would shift every field and write wrong records.
QByteArray convert(const QString &rawPath, const RecordLayout &layout, Result &r)
{
    QFile in(rawPath);
    if (!in.open(QIODevice::ReadOnly)) {
        r.error = QStringLiteral("cannot read ") + rawPath + QStringLiteral(": ") + in.errorString();
        return {};
    }
    const QByteArray raw = in.readAll();
    if (in.error() != QFile::NoError) {
        r.error = QStringLiteral("cannot read ") + rawPath + QStringLiteral(": ") + in.errorString();
        return {};
    }
    const qsizetype width = 17 + (layout.decimalCards ? 10 : 8) + (layout.fullYear ? 4 : 2);
    qint64 n = 0;
    for (qsizetype pos = 0; pos < raw.size();) {
        qsizetype end = raw.indexOf('\n', pos);
        if (end < 0) end = raw.size();
        qsizetype length = end - pos;
        if (length > 0 && raw[end - 1] == '\r') --length;
        if (length > 0) {
            ++n;
            if (length != width) {
                r.error = QStringLiteral("line %1 of %2 is %3 characters wide, but a raw record with %4 cards and %5 "
                                         "years is %6 (check --decimal and --full-year)")
                              .arg(n)
                              .arg(rawPath)
                              .arg(length)
                              .arg(layout.decimalCards ? QStringLiteral("decimal") : QStringLiteral("hexadecimal"),
                                   layout.fullYear ? QStringLiteral("four-digit") : QStringLiteral("two-digit"))
                              .arg(width);
                return {};
            }
        }
        pos = end + 1;
    }
    r.ok = true;
    return CompiledRecordLayout(layout).convertFile(raw, &r.lines);
}
}  // namespace

Result format(const QString &rawPath, const QString &outPath, const RecordLayout &layout)
{
    Result r;
    const QByteArray content = convert(rawPath, layout, r);
    if (!r.ok) return r;
    r.ok = save(outPath, content, r.error);
    r.writeFailed = !r.ok;
    return r;
}

Result formatToStandardOutput(const QString &rawPath, const RecordLayout &layout)
{
    Result r;
    const QByteArray content = convert(rawPath, layout, r);
    if (!r.ok) return r;
    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly) || out.write(content) != content.size() || !out.flush()) {
        r.ok = false;
        r.error = QStringLiteral("cannot write the records to standard output: ") + out.errorString();
    }
    return r;
}

bool writeEmpty(const QString &outPath, QString &error) { return save(outPath, QByteArray(), error); }

}  // namespace RecordFiles
