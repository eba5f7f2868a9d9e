// Fuzz target for the memory fields of an Identify reply: whatever the fields say, a reply that is
// accepted describes a memory that can exist.
#include "attlink/TerminalIdentity.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromLatin1(reinterpret_cast<const char *>(data), qsizetype(size));
    const QStringList fields = text.split(u',');
    TerminalIdentity id;
    id.lastSerial = size > 0 ? data[0] * 1000ull : 0;
    if (!IdentityFields::readMemory(fields, id)) return 0;
    if (!id.hasMemory) return 0;
    check(id.capacity > 0 && id.held <= id.capacity && id.rosterSize <= id.rosterCapacity);
    check(id.held == 0 || (id.oldestSerial > 0 && id.oldestSerial <= id.lastSerial));
    check(id.firstAvailable() <= id.lastSerial + 1);
    return 0;
}
