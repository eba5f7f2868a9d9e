#pragma once

#include "attlink/protocol/RecordBlock.h"

// Writes raw record file lines (docs/protocol.md, "Files the link writes") straight from decoded
// records into a caller's buffer: no allocation per record, and the date of the previous record
// reused, since consecutive records mostly share their day.
class RawLineWriter {
public:
    RawLineWriter(int machine, bool decimalCards, bool fullYear);

    // Longest line with its CR LF.
    static constexpr int MaxLineBytes = 3 + 10 + 14 + 4 + 2;
    // Writes one line ended by CR LF at `out` (room for MaxLineBytes); returns the bytes written.
    int write(const PackedRecord &r, char *out);

private:
    char machine_[3];
    bool decimal_, fullYear_;
    qint64 day_ = INT64_MIN;
    char date_[8];  // yyyyMMdd of day_
};
