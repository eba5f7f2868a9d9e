#include "sync/Database.h"

#include "sync/SqliteLibrary.h"

#include <QAtomicInteger>
#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QVariant>

namespace {

QAtomicInteger<quint64> connections;

QString driverReason(const QSqlError &e)
{
    QString why = e.databaseText().isEmpty() ? e.text() : e.databaseText();
    if (why.isEmpty()) why = e.driverText();
    return why.simplified();
}

}  // namespace

Database::Database(const DatabaseUrl &url, QString connectionName)
    : url_(url), connectionName_(std::move(connectionName))
{
}

Database::~Database()
{
    if (db_.isOpen()) db_.close();
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(connectionName_);
}

QString Database::reasonOf(const QSqlError &e) const
{
    // SQLITE_BUSY and SQLITE_LOCKED (and their extended codes); PostgreSQL's lock_not_available.
    const QString code = e.nativeErrorCode();
    const int primary = code.toInt() & 0xff;
    const bool lockWait = postgres() ? code == QLatin1String("55P03") : primary == 5 || primary == 6;
    if (!lockWait) return driverReason(e);
    return driverReason(e)
        + QStringLiteral(" (another connection held the lock longer than the %1 s wait)").arg(lockWaitSeconds_);
}

std::unique_ptr<Database> Database::open(const DatabaseUrl &url, QString &error, int lockWaitSeconds)
{
    const QString driver = url.kind == DatabaseUrl::Sqlite ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL");
    if (!QSqlDatabase::isDriverAvailable(driver)) {
        error = QStringLiteral("database %1: the Qt SQL driver %2 is not installed").arg(url.display(), driver);
        return nullptr;
    }
    std::unique_ptr<Database> d(new Database(url, QStringLiteral("zevo-sync-%1").arg(++connections)));
    d->lockWaitSeconds_ = lockWaitSeconds;
    d->db_ = QSqlDatabase::addDatabase(driver, d->connectionName_);
    if (url.kind == DatabaseUrl::Sqlite) {
        const QFileInfo file(url.path);
        if (!file.dir().exists()) {
            error = QStringLiteral("database %1: the folder %2 does not exist").arg(url.display(), file.dir().path());
            return nullptr;
        }
        if (file.isDir()) {
            error = QStringLiteral("database %1: that is a folder, not a file").arg(url.display());
            return nullptr;
        }
        d->db_.setDatabaseName(url.path);
        // Writers of other processes queue for the lock wait; a terminal's store takes well under one.
        d->db_.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(qint64(lockWaitSeconds) * 1000));
    } else {
        d->db_.setHostName(url.host);
        d->db_.setPort(url.port);
        d->db_.setDatabaseName(url.database);
        d->db_.setUserName(url.user);
        d->db_.setPassword(url.password);
        // The URL's own parameters come last: libpq takes the last value of a key.
        const QString parameters = url.parameterText();
        d->db_.setConnectOptions(QStringLiteral("connect_timeout=10;application_name=zevo-sync")
                                 + (parameters.isEmpty() ? QString() : u';' + parameters));
    }
    if (!d->db_.open()) {
        QString why = d->reasonOf(d->db_.lastError());
        if (why.contains(QLatin1String("no password supplied")))
            why += QStringLiteral(" (give it in the URL as USER:PASSWORD@, in PGPASSWORD or in ~/.pgpass)");
        error = d->failure(QStringLiteral("cannot open"), why);
        return nullptr;
    }
    // PostgreSQL waits for row and advisory locks without end unless told; 0 there means no limit.
    if (url.kind == DatabaseUrl::Postgres
        && !d->exec(QStringLiteral("SET lock_timeout = %1").arg(qMax(qint64(1), qint64(lockWaitSeconds) * 1000)),
                    error))
        return nullptr;
    if (url.kind == DatabaseUrl::Sqlite) {
        // Durable commits by default (the store relaxes it where nothing is deleted after). WAL
        // lets exports read while a sync writes. A read-only file refuses the journal mode; the
        // write check reports that.
        QSqlQuery q(d->db_);
        if (!q.exec(QStringLiteral("PRAGMA synchronous=FULL"))) {
            error = d->failure(QStringLiteral("cannot use"), d->reasonOf(q.lastError()));
            return nullptr;
        }
        q.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
        QString why;
        if (!SqliteLibrary::sameAsDriver(d->db_, why)) {
            error = d->failure(QStringLiteral("cannot use"), why);
            return nullptr;
        }
    }
    return d;
}

QString Database::failure(const QString &what, const QString &why) const
{
    return QStringLiteral("database %1: %2: %3").arg(url_.display(), what, why);
}

bool Database::failed(const QSqlQuery &query, const QString &what, QString &error) const
{
    error = failure(what, reasonOf(query.lastError()));
    return false;
}

bool Database::exec(const QString &statement, QString &error)
{
    QSqlQuery q(db_);
    if (q.exec(statement)) return true;
    error = failure(statement.section(u' ', 0, 1).toLower(), reasonOf(q.lastError()));
    return false;
}

bool Database::exec(QSqlQuery &query, QString &error)
{
    if (query.exec()) return true;
    error = failure(query.lastQuery().section(u' ', 0, 1).toLower(), reasonOf(query.lastError()));
    return false;
}

std::optional<QVariant> Database::value(const QString &statement, QString &error)
{
    QSqlQuery q(db_);
    if (!q.exec(statement)) {
        error = failure(QStringLiteral("query"), reasonOf(q.lastError()));
        return std::nullopt;
    }
    if (!q.next()) return QVariant();
    return q.value(0);
}

bool Database::begin(QString &error)
{
    return exec(postgres() ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE"), error);
}

bool Database::commit(QString &error)
{
    if (exec(QStringLiteral("COMMIT"), error)) return true;
    rollback();
    return false;
}

void Database::rollback()
{
    QSqlQuery q(db_);
    q.exec(QStringLiteral("ROLLBACK"));
}
