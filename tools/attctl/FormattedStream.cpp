#include "attctl/FormattedStream.h"

FormattedStream::FormattedStream(const QString &path, const RecordLayout &layout) : out_(path), layout_(layout) {}

bool FormattedStream::add(const QByteArray &rawLines)
{
    buffer_.resize(0);
    layout_.appendConverted(rawLines.constData(), rawLines.size(), buffer_);
    return out_.write(buffer_);
}
