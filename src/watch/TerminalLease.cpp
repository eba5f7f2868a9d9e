#include "watch/TerminalLease.h"

#include "sync/Database.h"

#include <QCryptographicHash>
#include <QtEndian>

std::unique_ptr<TerminalLease> TerminalLease::open(const DatabaseUrl &url, QString &error)
{
    if (url.kind != DatabaseUrl::Postgres) {
        error = QStringLiteral("database %1: terminal leases need PostgreSQL").arg(url.display());
        return nullptr;
    }
    std::unique_ptr<Database> db = Database::open(url, error);
    if (!db) return nullptr;
    return std::unique_ptr<TerminalLease>(new TerminalLease(std::move(db)));
}

TerminalLease::TerminalLease(std::unique_ptr<Database> db) : db_(std::move(db)) {}

// Closing the connection ends the session, which frees every lock it held.
TerminalLease::~TerminalLease() = default;

qint64 TerminalLease::keyOf(const QString &identity)
{
    const QByteArray digest =
        QCryptographicHash::hash(QByteArrayLiteral("zevo-terminal:") + identity.toUtf8(), QCryptographicHash::Sha256);
    return qFromBigEndian<qint64>(digest.constData());
}

// Any failure ends the session for certain, so that what the server holds and held_ never differ.
void TerminalLease::lost(const QString &why)
{
    error_ = why;
    held_.clear();
    db_->sql().close();
}

bool TerminalLease::tryTake(const QString &identity)
{
    if (held_.contains(identity)) return true;  // the lock counts takes: take it once only
    QSqlQuery q(db_->sql());
    q.prepare(QStringLiteral("SELECT pg_try_advisory_lock(?)"));
    q.addBindValue(keyOf(identity));
    QString why;
    if (!db_->exec(q, why) || !q.next()) {
        lost(why.isEmpty() ? db_->failure(QStringLiteral("lease"), QStringLiteral("no answer")) : why);
        return false;
    }
    if (!q.value(0).toBool()) return false;
    held_.insert(identity);
    return true;
}

void TerminalLease::release(const QString &identity)
{
    if (!held_.remove(identity)) return;
    QSqlQuery q(db_->sql());
    q.prepare(QStringLiteral("SELECT pg_advisory_unlock(?)"));
    q.addBindValue(keyOf(identity));
    QString why;
    if (!db_->exec(q, why)) lost(why);
}

bool TerminalLease::alive()
{
    QString why;
    if (db_->value(QStringLiteral("SELECT 1"), why)) return true;
    lost(why);
    return false;
}
