#pragma once

#include "layout/RecordLayout.h"

#include <QString>

// The formatted record file written from a raw record file, with the window's conversion.
namespace RecordFiles {

constexpr const char *RawName = "DataRecordSet_original.txt";
constexpr const char *FormattedName = "DataRecordSet.txt";

struct Result {
    bool ok = false;
    qint64 lines = 0;
    QString error;
    bool writeFailed = false;  // the error is the output file's (not the raw file's)
};

// Converts every non-empty line of rawPath into outPath, replacing it only when all was written; an
// empty outPath writes the same bytes to standard output (flush any text stream on it first). A line
// whose width is not the one of the layout's card and year forms fails the whole file.
Result format(const QString &rawPath, const QString &outPath, const RecordLayout &layout);

}  // namespace RecordFiles
