#include "layout/RecordLayout.h"

#include "common/TextCodec.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

RecordLayout RecordLayout::defaults()
{
    RecordLayout l;
    l.fieldNames = {QStringLiteral("机号"), QStringLiteral("卡号"), QStringLiteral("年"), QStringLiteral("月"),
                    QStringLiteral("日"),   QStringLiteral("时"),   QStringLiteral("分"), QStringLiteral("秒")};
    return l;
}

RecordField recordFieldOf(QStringView name)
{
    static const std::array<std::pair<QStringView, RecordField>, 9> names = {{
        {u"机号", RecordField::Machine},
        {u"卡号", RecordField::Card},
        {u"年", RecordField::Year},
        {u"月", RecordField::Month},
        {u"日", RecordField::Day},
        {u"时", RecordField::Hour},
        {u"分", RecordField::Minute},
        {u"秒", RecordField::Second},
        {u"标志", RecordField::Flag},
    }};
    for (const auto &[text, field] : names)
        if (name == text) return field;
    return RecordField::None;
}

namespace {

struct Slice {
    int start;  // 1-based, as the raw layout counts positions
    int length;
};

// The raw-line slice a field selects; length 0 for a name that selects nothing.
Slice sliceOf(RecordField field, const RecordLayout &layout)
{
    // P is the start of the month field minus 2.
    int p = layout.decimalCards ? 14 : 12;
    if (layout.fullYear) p += 2;
    switch (field) {
    case RecordField::Machine:
        return {1, 3};
    case RecordField::Card:
        return {4, layout.decimalCards ? 10 : 8};
    case RecordField::Year:
        return layout.fullYear ? Slice{p - 2, 4} : Slice{p, 2};
    case RecordField::Month:
        return {p + 2, 2};
    case RecordField::Day:
        return {p + 4, 2};
    case RecordField::Hour:
        return {p + 6, 2};
    case RecordField::Minute:
        return {p + 8, 2};
    case RecordField::Second:
        return {p + 10, 2};
    case RecordField::Flag:
        return {p + 12, 4};
    case RecordField::None:
        break;
    }
    return {1, 0};
}

}  // namespace

std::vector<LayoutPiece> layoutPieces(const RecordLayout &layout)
{
    std::vector<LayoutPiece> pieces;
    auto addLiteral = [&pieces](const QString &text) {
        if (text.isEmpty()) return;
        if (!pieces.empty() && pieces.back().field == RecordField::None)
            pieces.back().literal += text;
        else
            pieces.push_back({RecordField::None, text});
    };
    for (int i = 0; i < 8; ++i) {
        addLiteral(layout.separators[i]);
        const RecordField field = recordFieldOf(QStringView(layout.fieldNames[i]).trimmed());
        if (field != RecordField::None) pieces.push_back({field, {}});
    }
    addLiteral(layout.separators[8]);
    return pieces;
}

CompiledRecordLayout::CompiledRecordLayout(const RecordLayout &layout)
{
    for (const LayoutPiece &piece : layoutPieces(layout)) {
        if (piece.field == RecordField::None) {
            pieces_.push_back({-1, int(literals_.size())});
            literals_.push_back(piece.literal);
        } else {
            const Slice s = sliceOf(piece.field, layout);
            pieces_.push_back({s.start - 1, s.length});
        }
    }
    for (const QString &l : literals_) encodedLiterals_.push_back(TextCodec::encode(l));
    paddedLiterals_.resize(encodedLiterals_.size());
    for (size_t i = 0; i < encodedLiterals_.size(); ++i)
        std::memcpy(paddedLiterals_[i].data(), encodedLiterals_[i].constData(),
                    size_t(std::min<qsizetype>(16, encodedLiterals_[i].size())));
    asciiLineBound_ = 2 + 16;
    for (const Piece &p : pieces_)
        asciiLineBound_ += p.start < 0 ? encodedLiterals_[size_t(p.length)].size() : p.length;
}

void CompiledRecordLayout::appendTo(QStringView raw, QString &out) const
{
    const qsizetype n = raw.size();
    for (const Piece &p : pieces_) {
        if (p.start < 0) {
            out += literals_[p.length];
        } else if (p.start < n) {
            out += raw.mid(p.start, std::min<qsizetype>(p.length, n - p.start));
        }
    }
}

QString CompiledRecordLayout::format(QStringView raw) const
{
    QString out;
    appendTo(raw, out);
    return out;
}

QByteArray CompiledRecordLayout::convertFile(const QByteArray &raw, qint64 *lineCount) const
{
    QByteArray out;
    qint64 lines = 0;
    appendConverted(raw.constData(), raw.size(), out, &lines);
    if (lineCount) *lineCount = lines;
    return out;
}

QString DataBaseForm(QStringView raw, const RecordLayout &layout) { return CompiledRecordLayout(layout).format(raw); }

namespace {

// Copies n <= 16 bytes by moving 16 when both sides have room for that many: one vector move
// instead of a library call for each of a line's few short fields.
inline char *copySmall(char *w, const char *from, qsizetype n, bool room)
{
    if (room)
        std::memcpy(w, from, 16);
    else
        std::memcpy(w, from, size_t(n));
    return w + n;
}

bool asciiOnly(const char *p, qsizetype n)
{
    uint64_t any = 0;
    qsizetype i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t w;
        std::memcpy(&w, p + i, 8);
        any |= w;
    }
    for (; i < n; ++i) any |= uint8_t(p[i]);
    return (any & 0x8080808080808080ull) == 0;
}

}  // namespace

bool CompiledRecordLayout::appendConverted(const char *data, qsizetype size, QByteArray &out, qint64 *lineCount,
                                           qsizetype requiredWidth) const
{
    const qsizetype perLine = asciiLineBound_;
    qsizetype used = out.size();
    out.resize(used + std::max<qsizetype>(perLine, size + size / 4 + perLine));
    const char *end = data + size;
    qint64 lines = 0;
    for (const char *line = data; line < end;) {
        const char *nl = static_cast<const char *>(std::memchr(line, '\n', size_t(end - line)));
        const char *next = nl ? nl + 1 : end;
        qsizetype len = (nl ? nl : end) - line;
        if (len > 0 && line[len - 1] == '\r') --len;
        if (len > 0 && requiredWidth > 0 && len != requiredWidth) {
            out.resize(used);
            if (lineCount) *lineCount += lines;
            return false;
        }
        if (len > 0) {
            QByteArray converted;
            qsizetype need = perLine;
            const bool ascii = asciiOnly(line, len);
            if (!ascii) {
                converted = TextCodec::encode(format(TextCodec::decode(QByteArray(line, len))));
                need = converted.size() + 2;
            }
            if (out.size() - used < need) out.resize(used + need + out.size() / 2);
            char *w = out.data() + used;
            if (ascii) {
                // Positions count characters; in ASCII a character is a byte.
                for (const Piece &p : pieces_) {
                    if (p.start < 0) {
                        const QByteArray &lit = encodedLiterals_[size_t(p.length)];
                        if (lit.size() <= 16)
                            w = copySmall(w, paddedLiterals_[size_t(p.length)].data(), lit.size(), true);
                        else
                            w = static_cast<char *>(std::memcpy(w, lit.constData(), size_t(lit.size()))) + lit.size();
                    } else if (p.start < len) {
                        const qsizetype n = std::min<qsizetype>(p.length, len - p.start);
                        w = copySmall(w, line + p.start, n, n <= 16 && end - (line + p.start) >= 16);
                    }
                }
            } else {
                std::memcpy(w, converted.constData(), size_t(converted.size()));
                w += converted.size();
            }
            *w++ = '\r';
            *w++ = '\n';
            used = w - out.data();
            ++lines;
        }
        line = next;
    }
    out.resize(used);
    if (lineCount) *lineCount += lines;
    return true;
}
