#pragma once

#include <QString>

// Text from a terminal made safe to print: control characters (C0, DEL, C1) and the characters that
// reorder a line on the screen are written as \xHH or \u{HHHH}, so that no escape sequence reaches
// the user's terminal raw and a CR cannot hide what came before it. A backslash is doubled, so that
// the output reads back unambiguously.
QString visibleText(const QString &text);
