#include "attctl/DatabaseOption.h"

#include "attctl/ExitCode.h"
#include "sync/Schema.h"

#include <QDir>
#include <QFileInfo>

namespace DatabaseOption {

DatabaseUrl urlOf(const std::optional<QString> &text)
{
    if (!text) return DatabaseUrl::defaultLocation();
    QString error;
    const std::optional<DatabaseUrl> url = DatabaseUrl::parse(*text, error);
    if (!url) throw UsageError{QStringLiteral("--db: ") + error};
    return *url;
}

std::unique_ptr<Database> openForWriting(const DatabaseUrl &url, bool given, QString &error, int lockWaitSeconds)
{
    if (url.kind == DatabaseUrl::Sqlite && !given) QDir().mkpath(QFileInfo(url.path).path());
    auto db = Database::open(url, error, lockWaitSeconds);
    if (!db || !Schema::migrate(*db, error) || !Schema::checkWritable(*db, error)) return nullptr;
    return db;
}

}  // namespace DatabaseOption
