#pragma once

#include "attctl/Args.h"
#include "layout/RecordLayout.h"

#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <optional>
#include <utility>

// Options the record commands share.
namespace RecordOptions {

// --layout TEXT, or the window's default fields in the two widths.
RecordLayout layout(const std::optional<QString> &text, bool decimal, bool fullYear);
// The folder, created when missing (UsageError when it cannot be).
QString folder(const QString &dir);
// --from P --to P, both or neither; empty texts when neither.
std::pair<QString, QString> packetRange(Args &a);
// Where the formatted records go: D/DataRecordSet.txt, or standard output with --stdout or --dir -
// (then with --dir - the raw file goes to a temporary folder and nothing stays on disk).
struct Destination {
    QString folder;  // where the raw file goes (and the formatted one unless toStdout)
    bool toStdout = false;
    std::unique_ptr<QTemporaryDir> scratch;
};
// Takes --dir and --stdout.
Destination destination(Args &a);

// A serial number argument: 0 .. 2^64-1 in decimal.
quint64 serial(const QString &text, const QString &what);

}  // namespace RecordOptions
