#include "attctl/OutputFile.h"

#include <cstdio>

OutputFile::OutputFile(const QString &path) : file_(path), toStdout_(path.isEmpty()) {}

bool OutputFile::fail()
{
    if (error_.isEmpty())
        error_ = toStdout_ ? QStringLiteral("cannot write to standard output: ") + stdout_.errorString()
                           : QStringLiteral("cannot write ") + file_.path() + QStringLiteral(": ") + file_.errorString()
                + QStringLiteral(" (the earlier file is kept)");
    return false;
}

bool OutputFile::open() { return (toStdout_ ? stdout_.open(stdout, QIODevice::WriteOnly) : file_.open()) || fail(); }

bool OutputFile::write(const QByteArray &bytes)
{
    if (!error_.isEmpty()) return false;
    return (toStdout_ ? stdout_.write(bytes) == bytes.size() : file_.write(bytes)) || fail();
}

bool OutputFile::commit()
{
    if (!error_.isEmpty()) return false;
    return (toStdout_ ? stdout_.flush() : file_.commit()) || fail();
}
