#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// What a test reads back of a file the programs wrote.

// The file's bytes, or "<missing>" when it cannot be read (so that a comparison names the cause).
QByteArray fileBytes(const QString &path);

// The lines of a GB18030 file whose every line must end in CR LF; {"<missing>"} when it cannot be
// read, {"<no CR LF at the end>"} when its last line is not ended.
QStringList crlfLines(const QString &path);
