#include "sim/FieldRules.h"

#include "common/TextCodec.h"

namespace FieldRules {

QDateTime time(const QString &text)
{
    if (text.size() != 14) return {};
    for (QChar c : text)
        if (c < u'0' || c > u'9') return {};
    auto number = [&](int from, int length) { return text.mid(from, length).toInt(); };
    const QDate date(number(0, 4), number(4, 2), number(6, 2));
    const QTime time(number(8, 2), number(10, 2), number(12, 2));
    if (!date.isValid() || !time.isValid()) return {};
    return QDateTime(date, time, Qt::UTC);
}

bool jobNumber(const QString &text)
{
    if (text.isEmpty() || text.size() > 8) return false;
    for (QChar c : text)
        if (c < u' ' || c > u'~' || c == u',') return false;
    return true;
}

bool name(const QString &text)
{
    for (QChar c : text)
        if (c < u' ' || c == u'\x7f') return false;
    return TextCodec::encode(text).size() <= 16;
}

}  // namespace FieldRules
