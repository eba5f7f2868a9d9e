#pragma once

#include <QString>
#include <optional>

// The three 4-character words of a system-parameter write.
namespace ParameterWords {

enum class Mode { Standard, Attendance, AccessControl };

// TxtY padded on the right with "0" to 4 characters; the characters go as typed.
QString relayWord(const QString &relayText);

// Txt_Minute read as a number, rounded halves to even, as 4 upper-case hex digits (two's complement
// for negatives). Empty when the text is not a number or the value does not fit in 16 bits, so that a
// wrapped value never reaches the terminal.
std::optional<QString> intervalWord(const QString &minuteText);

// Bit 15: access control; bit 14: traditional characters. The standard write always sends "0000".
QString modeWord(Mode mode, bool simplified);

// Cmd_Delay's limit: the whole part (towards minus infinity) of the interval may not exceed 1440.
constexpr int MaxPunchInterval = 1440;
bool exceedsPunchLimit(double minutes);

}  // namespace ParameterWords
