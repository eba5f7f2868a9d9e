#pragma once

#include "records/RecordLayout.h"

#include <QString>

// The formatted record file written from a raw record file, with the window's conversion.
namespace RecordFiles {

constexpr const char *RawName = "DataRecordSet_original.txt";
constexpr const char *FormattedName = "DataRecordSet.txt";

struct Result {
    bool ok = false;
    qint64 lines = 0;
    qint64 badWidthLines = 0;  // raw lines whose width does not match the layout's two widths
    qint64 firstBadWidthLine = 0;
    QString error;
    bool writeFailed = false;  // the error is the output file's (not the raw file's)
};

// Converts every non-empty line of rawPath into outPath, replacing it only when all was written.
Result format(const QString &rawPath, const QString &outPath, const RecordLayout &layout);

// Writes an empty formatted file (a collection that found no records).
bool writeEmpty(const QString &outPath, QString &error);

}  // namespace RecordFiles
