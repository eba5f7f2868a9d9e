#include "attlink/TerminalIdentity.h"

namespace IdentityFields {

bool readMemory(const QStringList &f, TerminalIdentity &id)
{
    if (f.size() < 11) return true;
    bool ok[5] = {};
    id.capacity = f[6].toULongLong(&ok[0]);
    id.held = f[7].toULongLong(&ok[1]);
    id.oldestSerial = f[8].toULongLong(&ok[2]);
    id.rosterCapacity = f[9].toULongLong(&ok[3]);
    id.rosterSize = f[10].toULongLong(&ok[4]);
    for (bool b : ok)
        if (!b) return false;
    if (id.capacity == 0 || id.held > id.capacity || id.rosterSize > id.rosterCapacity) return false;
    // Serials held are consecutive up to the newest: the oldest lies within them and they span `held`.
    if (id.held == 0
            ? id.oldestSerial != 0
            : id.oldestSerial == 0 || id.oldestSerial > id.lastSerial || id.lastSerial - id.oldestSerial + 1 < id.held)
        return false;
    id.hasMemory = true;
    return true;
}

}  // namespace IdentityFields
