#include "attctl/RecordFiles.h"

#include "attctl/OutputFile.h"

#include <QFile>

#include <cstring>
#include <functional>

namespace RecordFiles {

namespace {

// The raw file is read and converted a megabyte at a time, so that memory does not grow with it.
constexpr qsizetype ChunkBytes = 1 << 20;

// Length of the n-th (1-based) non-empty line in [data, data + size).
qsizetype lengthOfLine(const char *data, qsizetype size, qint64 n)
{
    for (qsizetype pos = 0; pos < size;) {
        const char *nl = static_cast<const char *>(std::memchr(data + pos, '\n', size_t(size - pos)));
        const qsizetype end = nl ? nl - data : size;
        qsizetype length = end - pos;
        if (length > 0 && data[end - 1] == '\r') --length;
        if (length > 0 && --n == 0) return length;
        pos = end + 1;
    }
    return 0;
}

// Reads and converts the raw file, handing each converted piece to `write`. Every line must have the
// width the layout's card and year forms give: converting a line of another width would shift every
// field and write wrong records.
void convert(const QString &rawPath, const RecordLayout &layout, Result &r,
             const std::function<bool(const QByteArray &)> &write)
{
    QFile in(rawPath);
    if (!in.open(QIODevice::ReadOnly)) {
        r.error = QStringLiteral("cannot read ") + rawPath + QStringLiteral(": ") + in.errorString();
        return;
    }
    const qsizetype width = 17 + (layout.decimalCards ? 10 : 8) + (layout.fullYear ? 4 : 2);
    const CompiledRecordLayout compiled(layout);
    QByteArray buffer, out;
    qsizetype held = 0;  // bytes of an unfinished line carried over from the last chunk
    for (;;) {
        buffer.resize(held + ChunkBytes);
        const qint64 got = in.read(buffer.data() + held, ChunkBytes);
        if (got < 0) {
            r.error = QStringLiteral("cannot read ") + rawPath + QStringLiteral(": ") + in.errorString();
            return;
        }
        const qsizetype size = held + qsizetype(got);
        const bool last = got == 0;
        qsizetype upTo = size;
        if (!last) {
            const char *nl = static_cast<const char *>(memrchr(buffer.constData(), '\n', size_t(size)));
            upTo = nl ? nl - buffer.constData() + 1 : 0;
        }
        out.resize(0);
        const qint64 before = r.lines;
        if (!compiled.appendConverted(buffer.constData(), upTo, out, &r.lines, width)) {
            r.error = QStringLiteral("line %1 of %2 is %3 characters wide, but a raw record with %4 cards and %5 "
                                     "years is %6 (check --decimal and --full-year)")
                          .arg(r.lines + 1)
                          .arg(rawPath)
                          .arg(lengthOfLine(buffer.constData(), upTo, r.lines - before + 1))
                          .arg(layout.decimalCards ? QStringLiteral("decimal") : QStringLiteral("hexadecimal"),
                               layout.fullYear ? QStringLiteral("four-digit") : QStringLiteral("two-digit"))
                          .arg(width);
            return;
        }
        if (!out.isEmpty() && !write(out)) return;
        if (last) break;
        held = size - upTo;
        std::memmove(buffer.data(), buffer.constData() + upTo, size_t(held));
    }
    r.ok = true;
}

}  // namespace

Result format(const QString &rawPath, const QString &outPath, const RecordLayout &layout)
{
    Result r;
    OutputFile out(outPath);
    if (out.open()) convert(rawPath, layout, r, [&](const QByteArray &piece) { return out.write(piece); });
    if (!out.error().isEmpty() || (r.ok && !out.commit())) {
        r.ok = false;
        r.writeFailed = true;
        r.error = out.error();
    }
    return r;
}

}  // namespace RecordFiles
