#include "attctl/DatabaseOpen.h"

#include "attctl/ExitCode.h"
#include "sync/Schema.h"

#include <QFileInfo>

std::unique_ptr<Database> openStoredPunches(const std::optional<QString> &dbText, QTextStream &err)
{
    QString error;
    DatabaseUrl url = DatabaseUrl::defaultLocation();
    if (dbText) {
        const std::optional<DatabaseUrl> given = DatabaseUrl::parse(*dbText, error);
        if (!given) throw UsageError{QStringLiteral("--db: ") + error};
        url = *given;
    }
    if (url.kind == DatabaseUrl::Sqlite && !QFileInfo::exists(url.path)) {
        err << "attctl: database " << url.display() << ": no such file" << (dbText ? "" : " (no sync has run yet)")
            << Qt::endl;
        return nullptr;
    }
    auto db = Database::open(url, error);
    const int version = db ? Schema::usableVersion(*db, error) : -1;
    if (version >= 0 && version != Schema::Current)
        error = db->failure(
            QStringLiteral("cannot use"),
            version == 0 ? QStringLiteral("it holds no punches (no sync has run)")
                         : QStringLiteral("its schema version %1 is older than this program's %2 (a sync brings it up)")
                               .arg(version)
                               .arg(Schema::Current));
    if (version != Schema::Current) {
        err << "attctl: " << error << Qt::endl;
        return nullptr;
    }
    return db;
}
