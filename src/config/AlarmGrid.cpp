#include "config/AlarmGrid.h"

#include "common/NumberText.h"

#include <cmath>

namespace AlarmGrid {

Reading read(const QString &text, int maximum)
{
    if (text.isEmpty()) return {Verdict::Accepted, 0};
    const auto number = NumberText::toNumber(text);
    if (!number || *number != std::trunc(*number) || text.contains(QLatin1Char('.'))) return {Verdict::NotANumber};
    if (*number < 0 || *number > maximum) return {Verdict::OutOfRange};
    return {Verdict::Accepted, int(*number)};
}

}  // namespace AlarmGrid
