#pragma once

#include "sim/Terminal.h"

#include <QList>
#include <QString>
#include <memory>

// The control lines on standard input that play the person at a terminal:
//   present CARD [ADDRESS]   a card held to the reader (CARD: 8 hex or 10 decimal digits)
//   present none [ADDRESS]   the card taken away
//   punch CARD [ADDRESS]     a record now, with the terminal's clock
//   push-fault repeat|gap [ADDRESS]  the next push repeats a serial already pushed, or skips one
//   dump                     the whole state as one JSON line on standard output
// ADDRESS defaults to the first terminal. Returns the text for standard output (empty for none);
// a bad line gives false and a reason, and changes nothing.
namespace Control {

bool run(const QString &line, const TerminalList &terminals, QString &output, QString &error);

}  // namespace Control
