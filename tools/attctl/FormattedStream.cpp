#include "attctl/FormattedStream.h"

FormattedStream::FormattedStream(const QString &path, const RecordLayout &layout) : file_(path), layout_(layout) {}

bool FormattedStream::failed()
{
    error_ = QStringLiteral("cannot write ") + file_.fileName() + QStringLiteral(": ") + file_.errorString();
    return false;
}

bool FormattedStream::open() { return file_.open(QIODevice::WriteOnly) || failed(); }

bool FormattedStream::add(const QByteArray &rawLines)
{
    const QByteArray out = layout_.convertFile(rawLines);
    return file_.write(out) == out.size() || failed();
}

bool FormattedStream::commit() { return file_.commit() || failed(); }
