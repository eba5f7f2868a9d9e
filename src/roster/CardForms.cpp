#include "roster/CardForms.h"

#include "common/NumberText.h"
#include "common/RaisedError.h"
#include "common/TextCodec.h"

#include <cmath>
#include <limits>

namespace CardForms {

QString decimalForm(const QString &value) { return (QString(CardDigits, QLatin1Char('0')) + value).right(CardDigits); }

QString hexForm(const QString &value)
{
    const auto number = NumberText::toNumber(value);
    if (!number || std::floor(*number) != *number)
        throw RaisedError(RaisedError::TypeMismatch, QStringLiteral("类型不匹配"));
    if (*number < double(std::numeric_limits<qint32>::min()) || *number > double(std::numeric_limits<qint32>::max()))
        throw RaisedError(RaisedError::Overflow, QStringLiteral("溢出"));
    return QString::number(quint32(qint32(*number)), 16).toUpper();
}

int answeredAddress(const QString &reply)
{
    const QString head = reply.left(2);
    int value = 0;
    for (const QChar c : head) {
        const int digit = c.unicode() < 128 ? QStringLiteral("0123456789abcdef").indexOf(c.toLower()) : -1;
        if (digit < 0) break;
        value = value * 16 + digit;
    }
    return value;
}

QString jobNumberForm(const QString &text)
{
    const QString t = text.trimmed();
    return t.size() >= JobDigits ? t.left(JobDigits) : QString(JobDigits - t.size(), QLatin1Char('0')) + t;
}

int nameBytes(const QString &name) { return int(TextCodec::encode(name).size()); }

}  // namespace CardForms
