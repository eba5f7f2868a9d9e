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
    const QByteArray out = layout_.convertFile(rawLines);
    return (toStdout_ ? stdout_.write(out) : file_.write(out)) == out.size() || failed();
}

bool FormattedStream::commit() { return (toStdout_ ? stdout_.flush() : file_.commit()) || failed(); }
