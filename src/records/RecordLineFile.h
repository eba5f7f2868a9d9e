#pragma once

#include "ui/RecordLineList.h"

#include <QString>
#include <functional>

// Reads a file of record lines for the send-records panel, a block at a time, so that memory stays a
// little above the file's own size and the caller can show progress. Blank lines are skipped. A line
// longer than any record line, or a control character (a binary file), refuses the whole file.
namespace RecordLineFile {

// The longest line taken: a record line in any layout of the record-format panel fits well inside.
constexpr int MaxLineBytes = 256;

struct Result {
    enum class Verdict { Loaded, CannotOpen, CannotRead, LineTooLong, NotText, TooLarge, NotAFile };
    Verdict verdict = Verdict::Loaded;
    qint64 lineNumber = 0;  // the offending line, counted from 1, for LineTooLong and NotText
    RecordLines lines;

    // The operator's message for a refusal; empty when loaded.
    QString message(const QString &path) const;
};

using Progress = std::function<void(qint64 bytesRead, qint64 fileSize)>;

Result read(const QString &path, const Progress &progress = {});

}  // namespace RecordLineFile
