// Fuzz target for the raw record files: the whole-file conversions (convertFile, appendConverted in
// pieces) against a line-by-line reference through the window's per-line conversion, and the raw-file
// check of a whole file against the same check line by line. Run by scripts/fuzz-records (libFuzzer)
// and, for a fixed number of generated inputs, as the test fuzz_record_file.
#include "attlink/RawFileCheck.h"
#include "common/TextCodec.h"
#include "layout/RecordLayout.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition) std::abort();
}

// A layout chosen by the input's first bytes: both widths, field names in any order (some unknown),
// separators with and without Chinese text.
RecordLayout layoutOf(const uint8_t *&data, size_t &size)
{
    static const QString names[] = {QStringLiteral("机号"), QStringLiteral("卡号"), QStringLiteral("年"),
                                    QStringLiteral("月"),   QStringLiteral("日"),   QStringLiteral("时"),
                                    QStringLiteral("分"),   QStringLiteral("秒"),   QStringLiteral("标志"),
                                    QStringLiteral(" 年 "), QStringLiteral("x"),    QString()};
    static const QString separators[] = {QString(),
                                         QStringLiteral(","),
                                         QStringLiteral("：机号"),
                                         QStringLiteral("  "),
                                         QStringLiteral("一二三四五六七八九十"),
                                         QStringLiteral("-"),
                                         QStringLiteral("\t"),
                                         QStringLiteral("{}")};
    RecordLayout l;
    auto take = [&]() -> uint8_t {
        if (size == 0) return 0;
        --size;
        return *data++;
    };
    const uint8_t flags = take();
    l.decimalCards = flags & 1;
    l.fullYear = flags & 2;
    for (QString &n : l.fieldNames) n = names[take() % std::size(names)];
    for (QString &s : l.separators) s = separators[take() % std::size(separators)];
    return l;
}

QByteArray referenceConversion(const QByteArray &raw, const CompiledRecordLayout &layout, qint64 &lines)
{
    QByteArray out;
    lines = 0;
    for (QByteArray line : raw.split('\n')) {
        if (line.endsWith('\r')) line.chop(1);
        if (line.isEmpty()) continue;
        out += TextCodec::encode(layout.format(TextCodec::decode(line))) + "\r\n";
        ++lines;
    }
    return out;
}

void checkConversion(const QByteArray &raw, const RecordLayout &l)
{
    const CompiledRecordLayout layout(l);
    qint64 expectedLines = 0;
    const QByteArray expected = referenceConversion(raw, layout, expectedLines);

    qint64 lines = -1;
    check(layout.convertFile(raw, &lines) == expected);
    check(lines == expectedLines);

    // In pieces that end at line ends, as a file read a chunk at a time.
    QByteArray pieces = "kept";
    qint64 counted = 0;
    qsizetype from = 0;
    while (from < raw.size()) {
        qsizetype to = raw.indexOf('\n', from + (raw.size() - from) / 3);
        to = to < 0 ? raw.size() : to + 1;
        check(layout.appendConverted(raw.constData() + from, to - from, pieces, &counted));
        from = to;
    }
    check(pieces == "kept" + expected);
    check(counted == expectedLines);
}

void checkRawFile(const QByteArray &raw, const RecordLayout &l, uint8_t machine)
{
    RawFileCheck::Options o;
    o.machine = machine;
    o.decimalCards = l.decimalCards;
    o.fullYear = l.fullYear;
    o.named = 1 + machine % 4;
    const QStringList lines = TextCodec::splitLines(QString::fromLatin1(raw));
    const RawFileCheck::Result whole = RawFileCheck::check(lines, o);

    int records = 0, code = 0, bad = 0;
    QDateTime first, last;
    for (const QString &line : lines) {
        if (line.isEmpty()) continue;
        ++records;
        const RawFileCheck::Result one = RawFileCheck::check({line}, o);
        check(one.records == 1);
        if (one.code) {
            check(one.code == 2 || one.code == 3);
            check(!one.message.isEmpty());
            if (!code) code = one.code;
            ++bad;
            continue;
        }
        check(one.first.isValid() && one.first == one.last);
        if (!first.isValid() || one.first < first) first = one.first;
        if (!last.isValid() || one.last > last) last = one.last;
    }
    check(whole.records == records);
    check(whole.code == code);
    check(whole.message.isEmpty() == (bad == 0));
    if (bad)
        check(whole.message.endsWith(QStringLiteral("（共 %1 行有误）").arg(bad)));
    else
        check(whole.first == first && whole.last == last);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const RecordLayout layout = layoutOf(data, size);
    const uint8_t machine = size ? data[0] : 0;
    const QByteArray raw(reinterpret_cast<const char *>(data), qsizetype(size));
    checkConversion(raw, layout);
    checkRawFile(raw, layout, machine);
    return 0;
}
