#pragma once

#include "attctl/OutputFile.h"
#include "layout/RecordLayout.h"

#include <QString>

// The formatted record file written while a collection runs: raw lines in, the window's conversion
// out, so that nothing is read back and memory stays the size of one packet. The file replaces the
// earlier one only at commit(). An empty path writes to standard output instead (flush any text
// stream on it first).
class FormattedStream {
public:
    FormattedStream(const QString &path, const RecordLayout &layout);

    bool open() { return out_.open(); }
    // Raw lines, each ended by CR LF or LF.
    bool add(const QByteArray &rawLines);
    bool commit() { return out_.commit(); }
    QString error() const { return out_.error(); }

private:
    OutputFile out_;
    CompiledRecordLayout layout_;
    QByteArray buffer_;  // one packet's formatted lines, its room kept from packet to packet
};
