#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

// A roster entry as the compact roster blocks carry it: the card, the job number (ASCII) and the name
// (GB18030 bytes, as NameList.txt wants them).
struct PackedRosterEntry {
    uint32_t card = 0;
    QByteArray jobNo;
    QByteArray name;
};

// The compact encoding of a run of roster entries (docs/protocol.md, "Roster blocks"): a count, then
// per entry the card (4 bytes), the job number (a number when it is all digits, else its bytes) and
// the name with its length.
namespace RosterBlock {

constexpr int MaxEntries = 65535;
constexpr int MaxJobBytes = 8;
constexpr int MaxNameBytes = 16;

// The caller keeps n <= MaxEntries and every entry within the terminal's field rules.
QByteArray encode(const PackedRosterEntry *entries, qsizetype n);
// Decodes the block filling [data, data + size) exactly; every length checked before it is used, job
// numbers printable ASCII without a comma, names without control characters.
bool decode(const char *data, qsizetype size, std::vector<PackedRosterEntry> &out, QString &why);

}  // namespace RosterBlock
