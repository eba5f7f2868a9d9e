#pragma once

#include "attlink/protocol/PackedTime.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <vector>

// A record as the compact record blocks carry it.
struct PackedRecord {
    quint64 serial = 0;
    uint32_t card = 0;
    PackedTime when;
    std::array<char, 4> flag{{'0', '0', '0', '0'}};
};

// The compact encoding of a run of records (layout in docs/protocol.md, "Record blocks"): a header,
// per-block tables of cards and flags, then one bit field per record for its serial step, its time
// step, its card and its flag, each field as wide as the block needs.
namespace RecordBlock {

constexpr int HeaderSize = 34;
constexpr int MaxRecords = 65535;

// Encodes records [0, n). The caller keeps n <= MaxRecords, serials strictly increasing and from 1,
// times in PackedTime's range and flags printable.
QByteArray encode(const PackedRecord *records, qsizetype n);

// Decodes the block filling [data, data + size) exactly, replacing `out`'s content. Every length,
// count, table index, serial and time is checked before a record is kept: on false `out` is
// unspecified and `why` says what was wrong (an English phrase).
bool decode(const char *data, qsizetype size, std::vector<PackedRecord> &out, QString &why);

}  // namespace RecordBlock
