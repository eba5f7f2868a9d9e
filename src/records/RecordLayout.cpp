#include "records/RecordLayout.h"

#include "common/TextCodec.h"

#include <cstring>

RecordLayout RecordLayout::defaults() {
    RecordLayout l;
    l.fieldNames = {QStringLiteral("机号"), QStringLiteral("卡号"), QStringLiteral("年"), QStringLiteral("月"),
                    QStringLiteral("日"),   QStringLiteral("时"),   QStringLiteral("分"), QStringLiteral("秒")};
    return l;
}

namespace {

struct Slice {
    int start;  // 1-based, as the raw layout counts positions
    int length;
};

// The raw-line slice a field name selects; length 0 for a name that selects nothing.
Slice sliceOf(const QString &name, const RecordLayout &layout) {
    // P is the start of the month field minus 2.
    int p = layout.decimalCards ? 14 : 12;
    if (layout.fullYear) p += 2;
    if (name == u"机号") return {1, 3};
    if (name == u"卡号") return {4, layout.decimalCards ? 10 : 8};
    if (name == u"年") return layout.fullYear ? Slice{p - 2, 4} : Slice{p, 2};
    if (name == u"月") return {p + 2, 2};
    if (name == u"日") return {p + 4, 2};
    if (name == u"时") return {p + 6, 2};
    if (name == u"分") return {p + 8, 2};
    if (name == u"秒") return {p + 10, 2};
    if (name == u"标志") return {p + 12, 4};
    return {1, 0};
}

}  // namespace

CompiledRecordLayout::CompiledRecordLayout(const RecordLayout &layout) {
    auto addLiteral = [this](const QString &text) {
        if (text.isEmpty()) return;
        if (!pieces_.empty() && pieces_.back().start < 0) {
            literals_[pieces_.back().length] += text;  // adjacent literals merge
            return;
        }
        pieces_.push_back({-1, int(literals_.size())});
        literals_.push_back(text);
    };
    for (int i = 0; i < 8; ++i) {
        addLiteral(layout.separators[i]);
        const Slice s = sliceOf(layout.fieldNames[i].trimmed(), layout);
        if (s.length > 0) pieces_.push_back({s.start - 1, s.length});
    }
    addLiteral(layout.separators[8]);
    for (const QString &l : literals_) encodedLiterals_.push_back(TextCodec::encode(l));
}

void CompiledRecordLayout::appendTo(QStringView raw, QString &out) const {
    const qsizetype n = raw.size();
    for (const Piece &p : pieces_) {
        if (p.start < 0) {
            out += literals_[p.length];
        } else if (p.start < n) {
            out += raw.mid(p.start, std::min<qsizetype>(p.length, n - p.start));
        }
    }
}

QString CompiledRecordLayout::format(QStringView raw) const {
    QString out;
    appendTo(raw, out);
    return out;
}

QByteArray CompiledRecordLayout::convertFile(const QByteArray &raw, qint64 *lineCount) const {
    // Worst case per line: every slice full, every literal, CR LF. Written through a raw pointer
    // into a buffer sized once, since this runs over whole collections.
    qsizetype perLine = 2;
    for (const Piece &p : pieces_) perLine += p.start < 0 ? encodedLiterals_[p.length].size() : p.length;
    const char *data = raw.constData();
    const qsizetype size = raw.size();
    qsizetype lineBound = 1;
    for (const char *c = data; (c = static_cast<const char *>(std::memchr(c, '\n', size_t(data + size - c))));
         ++c)
        ++lineBound;
    QByteArray out;
    out.resize(lineBound * perLine);
    char *w = out.data();
    qint64 lines = 0;
    qsizetype pos = 0;
    while (pos < size) {
        const char *nl = static_cast<const char *>(std::memchr(data + pos, '\n', size_t(size - pos)));
        const qsizetype end = nl ? nl - data : size;
        qsizetype len = end - pos;
        if (len > 0 && data[pos + len - 1] == '\r') --len;
        if (len > 0) {
            const char *line = data + pos;
            bool ascii = true;
            for (qsizetype i = 0; i < len; ++i)
                if (static_cast<unsigned char>(line[i]) >= 0x80) { ascii = false; break; }
            if (ascii) {
                // Positions count characters; in ASCII a character is a byte.
                for (const Piece &p : pieces_) {
                    if (p.start < 0) {
                        const QByteArray &lit = encodedLiterals_[p.length];
                        std::memcpy(w, lit.constData(), size_t(lit.size()));
                        w += lit.size();
                    } else if (p.start < len) {
                        const qsizetype n = std::min<qsizetype>(p.length, len - p.start);
                        std::memcpy(w, line + p.start, size_t(n));
                        w += n;
                    }
                }
            } else {
                // Re-encoded, a line that is not ASCII may come out longer than perLine: the buffer
                // must still hold it and every line after it at perLine each.
                const QByteArray enc = TextCodec::encode(format(TextCodec::decode(QByteArray(line, len))));
                const qsizetype used = w - out.data();
                const qsizetype needed = used + enc.size() + 2 + (lineBound - lines - 1) * perLine;
                if (out.size() < needed) out.resize(needed);
                w = out.data() + used;
                std::memcpy(w, enc.constData(), size_t(enc.size()));
                w += enc.size();
            }
            *w++ = '\r';
            *w++ = '\n';
            ++lines;
        }
        pos = end + 1;
    }
    out.resize(w - out.data());
    if (lineCount) *lineCount = lines;
    return out;
}

QString DataBaseForm(QStringView raw, const RecordLayout &layout) {
    return CompiledRecordLayout(layout).format(raw);
}
