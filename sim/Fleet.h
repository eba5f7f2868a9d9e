#pragma once

#include "sim/Faults.h"

#include <QDate>
#include <QString>

class QCoreApplication;

// attsim --fleet N --tcp-base PORT: a site of N terminals, terminal i (0-based) alone on its own TCP
// port PORT+i at address i+1 (PORT 0: each on a free port), each with its own identity and its own
// generated records, and with --punch-every MS a new punch on every terminal every MS milliseconds.
// Control lines reach a terminal by its address; "dump" shows them all.
namespace SimFleet {

struct Settings {
    int count = 0;
    QString host = QStringLiteral("127.0.0.1");
    int basePort = 0;
    int records = 0;              // generated records on each terminal
    qsizetype capacity = 100000;  // records each terminal's memory holds
    int punchEveryMs = 0;         // 0: no punches over time
    QDate firmware;               // invalid: the default
};

// Runs until SIGTERM or SIGINT; prints "ready fleet HOST:PORT ..." (every terminal's port in address
// order), then "ready tcp HOST:PORT" of the first. Returns the exit status.
int run(QCoreApplication &app, const Settings &settings, const FaultSettings &faults);

}  // namespace SimFleet
