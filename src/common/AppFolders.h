#pragma once

#include <QString>

// Where the programs keep their files. A copy run from a folder of its own that it can write to (a
// build or an unpacked archive) keeps everything beside its executable, as it always has. An installed
// program (its folder cannot be written, or lies in a usr tree: /usr, /usr/local, or one staged for
// packaging) uses the user's folders instead:
// Public.Sys, the record files and NameList.txt in $XDG_DATA_HOME/zevo, AttLink.ini in
// $XDG_CONFIG_HOME/zevo.
struct AppFolders {
    QString data;    // the application folder of the commands: Public.Sys and the files they write
    QString config;  // the folder of the device link's AttLink.ini
    bool portable = true;

    // The folders for a program whose executable lies in programFolder. The data folder of an
    // installed program is created when missing.
    static AppFolders resolve(const QString &programFolder);
    // The same folders, creating none (for programs that only read AttLink.ini).
    static AppFolders locate(const QString &programFolder);
    // True when a file can be created in the folder.
    static bool writable(const QString &folder);
};
