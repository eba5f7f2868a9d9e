#pragma once

#include "link/PortFailure.h"

// Who holds a serial device, as far as the system says: the process with a lock on it (/proc/locks,
// readable by everyone), else up to three processes that have it open (/proc/<pid>/fd, only one's
// own processes unless root).
namespace PortHolders {

QList<PortHolder> of(const QString &devicePath);

}  // namespace PortHolders
