#pragma once

#include <QList>
#include <QString>
#include <utility>

// The profile-file routines: one key of an INI-style file in GB18030 read or written. Sections and
// keys match without regard to case; a write keeps every other line as it is and replaces the file
// atomically. An empty file argument means Public.Sys in the application folder.
namespace ModZevo {

QString defaultProfilePath(const QString &appFolder);

// The stored value, or empty when the file, the section or the key is missing. Values longer than
// 1999 characters are cut to 1999.
QString ReadIniValue(const QString &section, const QString &key, const QString &file, const QString &appFolder);

// Creates the file and the section when missing. The file is replaced only once the new content is
// wholly on the disk; on failure the earlier file stays as it was and *error (when given) says why.
bool WriteIniValue(const QString &section, const QString &key, const QString &value, const QString &file,
                   const QString &appFolder, QString *error = nullptr);
// Several keys of one section, in order, with one replacement of the file.
bool WriteIniValues(const QString &section, const QList<std::pair<QString, QString>> &values, const QString &file,
                    const QString &appFolder, QString *error = nullptr);

}  // namespace ModZevo
