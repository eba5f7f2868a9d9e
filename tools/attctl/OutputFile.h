#pragma once

#include "common/DurableFile.h"

#include <QFile>
#include <QString>

// A file attctl produces: at a path, written beside it and put in its place whole at commit() (the
// earlier file kept until then); or, for an empty path, standard output (flush any text stream on
// it first). Every write is checked.
class OutputFile {
public:
    explicit OutputFile(const QString &path);

    bool open();
    bool write(const QByteArray &bytes);
    bool commit();
    // What failed, naming the file or standard output; empty while all is well.
    QString error() const { return error_; }

private:
    bool fail();

    DurableFile file_;
    QFile stdout_;
    bool toStdout_;
    QString error_;
};
