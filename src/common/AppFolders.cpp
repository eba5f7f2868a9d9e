#include "common/AppFolders.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>

namespace {
const QString SubFolder = QStringLiteral("zevo");

// The system's own program folders are never a portable copy, even for root who may write to them;
// nor is a usr tree staged for a package, whose programs run as the installed ones will.
bool systemFolder(const QString &folder)
{
    const QString path = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    return (path + QLatin1Char('/')).contains(QStringLiteral("/usr/")) || path == QStringLiteral("/bin")
        || path == QStringLiteral("/sbin");
}
}  // namespace

bool AppFolders::writable(const QString &folder)
{
    const QFileInfo info(folder);
    return info.isDir() && ::access(QFile::encodeName(info.absoluteFilePath()).constData(), W_OK | X_OK) == 0;
}

AppFolders AppFolders::locate(const QString &programFolder)
{
    AppFolders f;
    if (!systemFolder(programFolder) && writable(programFolder)) {
        f.data = f.config = programFolder;
        return f;
    }
    f.portable = false;
    f.data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QLatin1Char('/') + SubFolder;
    f.config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QLatin1Char('/') + SubFolder;
    return f;
}

AppFolders AppFolders::resolve(const QString &programFolder)
{
    const AppFolders f = locate(programFolder);
    if (!f.portable) QDir().mkpath(f.data);
    return f;
}
