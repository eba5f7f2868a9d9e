// Database::openForReading: the read-only open of exports, apart from the sync's own connections.
#include "sync/Database.h"

#include <QAtomicInteger>
#include <QFileInfo>
#include <QSqlError>
#include <QUrl>

namespace {
QAtomicInteger<quint64> readers;
}

std::unique_ptr<Database> Database::openForReading(const DatabaseUrl &url, QString &error, bool &snapshot)
{
    snapshot = false;
    if (url.kind != DatabaseUrl::Sqlite) return open(url, error);
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE")))
        return open(url, error);  // names the missing driver
    const QFileInfo file(url.path);
    // The write-ahead log and its index appear while a sync has the file open; SQLite needs to write
    // the index, or to make it beside the file.
    const bool journalOpen = QFileInfo::exists(url.path + QStringLiteral("-wal"));
    snapshot = !journalOpen && !QFileInfo(file.absolutePath()).isWritable();
    std::unique_ptr<Database> d(new Database(url, QStringLiteral("zevo-read-%1").arg(++readers)));
    d->db_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), d->connectionName_);
    if (snapshot) {
        d->db_.setDatabaseName(QStringLiteral("file:")
                               + QString::fromLatin1(QUrl::toPercentEncoding(file.absoluteFilePath(), "/"))
                               + QStringLiteral("?immutable=1"));
        d->db_.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI"));
    } else {
        d->db_.setDatabaseName(url.path);
        d->db_.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=60000"));
    }
    if (!d->db_.open()) {
        const QSqlError e = d->db_.lastError();
        error = d->failure(QStringLiteral("cannot open"),
                           (e.databaseText().isEmpty() ? e.text() : e.databaseText()).simplified());
        return nullptr;
    }
    return d;
}
