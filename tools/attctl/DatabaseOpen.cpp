#include "attctl/DatabaseOpen.h"

#include "attctl/DatabaseOption.h"
#include "sync/Schema.h"

#include <QFileInfo>

std::unique_ptr<Database> openStoredPunches(const std::optional<QString> &dbText, QTextStream &err)
{
    const DatabaseUrl url = DatabaseOption::urlOf(dbText);
    if (url.kind == DatabaseUrl::Sqlite && !QFileInfo::exists(url.path)) {
        err << "attctl: database " << url.display() << ": no such file" << (dbText ? "" : " (no sync has run yet)")
            << Qt::endl;
        return nullptr;
    }
    QString error;
    auto db = Database::open(url, error);
    if (!db || !Schema::readable(*db, QStringLiteral("cannot use"), error)) {
        err << "attctl: " << error << Qt::endl;
        return nullptr;
    }
    return db;
}
