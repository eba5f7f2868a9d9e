#include "attctl/FormattedStream.h"

#include <cstdio>

FormattedStream::FormattedStream(const QString &path, const RecordLayout &layout)
    : file_(path), layout_(layout), toStdout_(path.isEmpty())
{
}

bool FormattedStream::failed()
{
    error_ = toStdout_ ? QStringLiteral("cannot write the records to standard output: ") + stdout_.errorString()
                       : QStringLiteral("cannot write ") + file_.fileName() + QStringLiteral(": ") + file_.errorString();
    return false;
}

bool FormattedStream::open()
{
    return (toStdout_ ? stdout_.open(stdout, QIODevice::WriteOnly) : file_.open(QIODevice::WriteOnly)) || failed();
}

bool FormattedStream::add(const QByteArray &rawLines)
{
    buffer_.resize(0);
    layout_.appendConverted(rawLines.constData(), rawLines.size(), buffer_);
    return (toStdout_ ? stdout_.write(buffer_) : file_.write(buffer_)) == buffer_.size() || failed();
}

bool FormattedStream::commit() { return (toStdout_ ? stdout_.flush() : file_.commit()) || failed(); }
