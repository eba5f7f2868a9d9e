#include "common/VisibleText.h"

namespace {
bool reorders(char16_t c)
{
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069)
        || c == 0x2028 || c == 0x2029;
}

QString hex(char16_t c, int width) { return QString::number(int(c), 16).toUpper().rightJustified(width, u'0'); }
}  // namespace

QString visibleText(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (QChar ch : text) {
        const char16_t c = ch.unicode();
        if (c == u'\\')
            out += QStringLiteral("\\\\");
        else if (c < 0x20 || (c >= 0x7F && c < 0xA0))
            out += QStringLiteral("\\x") + hex(c, 2);
        else if (reorders(c))
            out += QStringLiteral("\\u{") + hex(c, 4) + QLatin1Char('}');
        else
            out += ch;
    }
    return out;
}
