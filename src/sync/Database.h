#pragma once

#include "sync/DatabaseUrl.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <memory>
#include <optional>

// One connection to the punch database, owned by the thread that opened it (Qt SQL connections must
// not cross threads). Every failure comes back as one line that names the database.
class Database {
public:
    // Opens the connection (a SQLite file is created when missing); nothing with `error` otherwise.
    // A statement waits up to lockWaitSeconds for a lock another connection holds (0: not at all),
    // then fails saying so: a stalled writer elsewhere holds up no one for longer.
    static std::unique_ptr<Database> open(const DatabaseUrl &url, QString &error, int lockWaitSeconds = 60);
    // Opens for reading only (exports): a SQLite file is never created or changed. A reader that may
    // not write the file's folder (the service's database, read by payroll) cannot make SQLite's
    // shared-memory file; when no sync has its journal open, the file alone is complete and is read
    // as unchanging (`snapshot` true): the caller checks afterwards that it did not change.
    static std::unique_ptr<Database> openForReading(const DatabaseUrl &url, QString &error, bool &snapshot);
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    bool postgres() const { return url_.kind == DatabaseUrl::Postgres; }
    QSqlDatabase &sql() { return db_; }

    // Runs one statement; false with `error` ("database URL: what failed: why").
    bool exec(const QString &statement, QString &error);
    bool exec(QSqlQuery &query, QString &error);
    // The first column of the first row of a query, or nothing with `error`.
    std::optional<QVariant> value(const QString &statement, QString &error);

    // A write transaction: SQLite takes its write lock at once (so that two writers queue on the busy
    // timeout instead of failing), PostgreSQL begins as usual.
    bool begin(QString &error);
    bool commit(QString &error);
    void rollback();

    QString failure(const QString &what, const QString &why) const;
    // Sets `error` from a query that failed; false.
    bool failed(const QSqlQuery &query, const QString &what, QString &error) const;

private:
    Database(const DatabaseUrl &url, QString connectionName);
    // The driver's reason, and how long it waited when another connection held the lock.
    QString reasonOf(const QSqlError &e) const;

    DatabaseUrl url_;
    QString connectionName_;
    QSqlDatabase db_;
    int lockWaitSeconds_ = 60;
};
