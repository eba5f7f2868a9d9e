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
    // A holder whose machine or network vanishes sends nothing more, not even the end of its
    // connection: TCP keep-alives on both ends (the client's here, the server's below) and a bound on
    // unacknowledged data end the session within seconds, so that the server frees the terminals for a
    // standby and the holder's own next call fails and tells it to stop. The URL's parameters win.
    DatabaseUrl leaseUrl = url;
    leaseUrl.parameters =
        QList<std::pair<QString, QString>>{{QStringLiteral("application_name"), QStringLiteral("zevo-watch-lease")},
                                           {QStringLiteral("keepalives_idle"), QStringLiteral("2")},
                                           {QStringLiteral("keepalives_interval"), QStringLiteral("1")},
                                           {QStringLiteral("keepalives_count"), QStringLiteral("2")},
                                           {QStringLiteral("tcp_user_timeout"), QStringLiteral("4000")}}
        + url.parameters;
    std::unique_ptr<Database> db = Database::open(leaseUrl, error);
    if (!db) return nullptr;
    // Best effort: a local socket ignores them, and a server before version 12 knows no tcp_user_timeout.
    QString ignored;
    for (const char *setting : {"tcp_keepalives_idle = 2", "tcp_keepalives_interval = 1", "tcp_keepalives_count = 2",
                                "tcp_user_timeout = 4000"})
        db->exec(QStringLiteral("SET ") + QLatin1String(setting), ignored);
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
    if (!db_->sql().isOpen()) return false;     // lost: errorText() says why
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
    if (!db_->sql().isOpen()) return false;
    QString why;
    if (db_->value(QStringLiteral("SELECT 1"), why)) return true;
    lost(why);
    return false;
}
