#include "config/ParameterWords.h"

#include "common/NumberText.h"

#include <cmath>

namespace ParameterWords {

QString relayWord(const QString &relayText) { return (relayText + QStringLiteral("0000")).left(4); }

std::optional<QString> intervalWord(const QString &minuteText)
{
    const auto value = NumberText::toNumber(minuteText);
    if (!value) return std::nullopt;
    const double rounded = NumberText::roundHalfEven(*value);
    if (rounded < -32768.0 || rounded > 65535.0) return std::nullopt;
    const auto word = static_cast<quint16>(static_cast<qint32>(rounded) & 0xFFFF);
    return (QStringLiteral("0000") + QString::number(word, 16).toUpper()).right(4);
}

QString modeWord(Mode mode, bool simplified)
{
    switch (mode) {
    case Mode::Standard:
        return QStringLiteral("0000");
    case Mode::Attendance:
        return simplified ? QStringLiteral("0000") : QStringLiteral("4000");
    case Mode::AccessControl:
        return simplified ? QStringLiteral("8000") : QStringLiteral("C000");
    }
    return QStringLiteral("0000");
}

bool exceedsPunchLimit(double minutes) { return std::floor(minutes) > MaxPunchInterval; }

}  // namespace ParameterWords
