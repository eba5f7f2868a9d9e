#include "attctl/DatabaseOption.h"

#include "attctl/ExitCode.h"

DatabaseUrl databaseOf(const std::optional<QString> &text)
{
    if (!text) return DatabaseUrl::defaultLocation();
    QString error;
    const std::optional<DatabaseUrl> url = DatabaseUrl::parse(*text, error);
    if (!url) throw UsageError{QStringLiteral("--db: ") + error};
    return *url;
}
