#include "common/OleDate.h"

#include <cmath>

namespace OleDate {

namespace {
constexpr double SecondsPerDay = 86400.0;
}

double fromTimeOfDay(int hour, int minute, int second)
{
    return (hour * 3600.0 + minute * 60.0 + second) / SecondsPerDay;
}

QTime toTimeOfDay(double value)
{
    if (!std::isfinite(value)) return QTime(0, 0);
    // The fraction of a negative date still counts forward from midnight.
    const double fraction = std::fabs(value - std::trunc(value));
    const int seconds = int(std::lround(fraction * SecondsPerDay)) % 86400;
    return QTime(0, 0).addSecs(seconds);
}

}  // namespace OleDate
