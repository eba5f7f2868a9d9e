#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

// What Identify tells of a terminal (protocol 2).
struct TerminalIdentity {
    QString identity;  // stable id of the terminal (hex digits), unchanged by SetAddress
    QString model;     // "VX730K"
    QString firmware;  // yyyy-MM-dd
    int address = 0;
    QDateTime clock;         // the terminal's clock when it answered (wall-clock time, Qt::UTC, no zone)
    quint64 lastSerial = 0;  // serial of the newest record it ever stored (0: none yet)

    // Its memory, from firmware that tells it (hasMemory false for an older terminal's shorter reply).
    bool hasMemory = false;
    quint64 capacity = 0;      // records the memory holds
    quint64 held = 0;          // records held now
    quint64 oldestSerial = 0;  // serial of the oldest record held, 0 when none is held
    quint64 rosterCapacity = 0;
    quint64 rosterSize = 0;

    // The serial of the oldest record still in the terminal, or the next one to come when it holds none:
    // the records below it that were never collected are gone.
    quint64 firstAvailable() const { return held ? oldestSerial : lastSerial + 1; }
};

namespace IdentityFields {

// Reads the memory fields 6 to 10 of an Identify reply into `id` when the reply has them. False for
// a reply that cannot be true (no capacity, more held than fit, an oldest serial outside the
// records held); a reply without them is fine.
bool readMemory(const QStringList &fields, TerminalIdentity &id);

}  // namespace IdentityFields
