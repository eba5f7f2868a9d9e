#pragma once

#include <QDateTime>
#include <QString>

// What Identify tells of a terminal (protocol 2).
struct TerminalIdentity {
    QString identity;  // stable id of the terminal (hex digits), unchanged by SetAddress
    QString model;     // "VX730K"
    QString firmware;  // yyyy-MM-dd
    int address = 0;
    QDateTime clock;         // the terminal's clock when it answered (wall-clock time, Qt::UTC, no zone)
    quint64 lastSerial = 0;  // serial of the newest record it ever stored (0: none yet)
};
