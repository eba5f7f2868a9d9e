#pragma once

#include "attlink/protocol/PackedTime.h"

#include <QByteArray>
#include <cstdint>

// A record with the serial its terminal gave it, as AttLink::recordsSince hands records over.
struct SerialRecord {
    quint64 serial = 0;  // strictly increasing per terminal, never reused
    uint32_t card = 0;
    PackedTime when;  // the terminal's wall-clock time; when.toDateTime() for a QDateTime
    QByteArray flag;  // 4 characters
};
