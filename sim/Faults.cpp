#include "sim/Faults.h"

bool Faults::maybeCorrupt(QByteArray &frame)
{
    if (settings_.corrupt <= 0 || frame.size() < 3 || !chance(settings_.corrupt)) return false;
    const qsizetype at = 2 + qsizetype(rng_() % uint64_t(frame.size() - 2));
    frame[at] = char(uint8_t(frame[at]) ^ uint8_t(1 + rng_() % 255));
    return true;
}
