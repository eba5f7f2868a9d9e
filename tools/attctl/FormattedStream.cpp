#include "attctl/FormattedStream.h"

#include <cstdio>

FormattedStream::FormattedStream(const QString &path, const RecordLayout &layout)
    : file_(path), toStdout_(path.isEmpty()), layout_(layout)
{
}

bool FormattedStream::failed()
{
    error_ = toStdout_ ? QStringLiteral("cannot write the records to standard output: ") + stdout_.errorString()
                       : QStringLiteral("cannot write ") + file_.path() + QStringLiteral(": ") + file_.errorString()
                             + QStringLiteral(" (the earlier file is kept)");
    return false;
}

bool FormattedStream::open()
{
    return (toStdout_ ? stdout_.open(stdout, QIODevice::WriteOnly) : file_.open()) || failed();
}

bool FormattedStream::add(const QByteArray &rawLines)
{
    buffer_.resize(0);
    layout_.appendConverted(rawLines.constData(), rawLines.size(), buffer_);
    return (toStdout_ ? stdout_.write(buffer_) == buffer_.size() : file_.write(buffer_)) || failed();
}

bool FormattedStream::commit() { return (toStdout_ ? stdout_.flush() : file_.commit()) || failed(); }
