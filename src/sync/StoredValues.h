#pragma once

#include <QString>
#include <limits>

// How values are kept in the punches table, shared by the store's batch and live paths.
namespace StoredValues {

constexpr quint64 LargestSerial = quint64(std::numeric_limits<qint64>::max());

// Serials are stored in a signed 64-bit column; 0 is never a terminal's serial.
inline bool serialStorable(quint64 serial) { return serial != 0 && serial <= LargestSerial; }
inline QString serialOutOfRange(quint64 serial) { return QStringLiteral("serial %1 is out of range").arg(serial); }

// A flag character as stored: anything unprintable becomes '?'.
inline char storedFlagChar(char c) { return c >= 0x20 && c < 0x7f ? c : '?'; }

}  // namespace StoredValues
