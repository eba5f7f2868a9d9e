#pragma once

#include "sync/DatabaseUrl.h"

#include <QSet>
#include <QString>
#include <memory>

class Database;

// Which terminals this process may collect when several watch processes (hot standbys, on any
// machines) share one PostgreSQL database: a terminal is held by a session-level advisory lock on a
// key derived from its identity, on a connection of the lease's own. The server frees the locks when
// that session ends, however the holder died, so a standby polling tryTake() takes the terminal over.
//
// The key: the first 8 bytes, big-endian, of SHA-256 over the UTF-8 of "zevo-terminal:" followed by the
// identity, as a signed 64-bit number. It depends on nothing else, so processes of any version on any
// machine agree on it; in pg_locks it shows as classid (high 32 bits) and objid (low 32 bits).
class TerminalLease {
public:
    // The lease's connection, or nothing with `error`.
    static std::unique_ptr<TerminalLease> open(const DatabaseUrl &url, QString &error);
    ~TerminalLease();
    TerminalLease(const TerminalLease &) = delete;
    TerminalLease &operator=(const TerminalLease &) = delete;

    // True when this lease holds the terminal now (took it, or held it already); false when another
    // session holds it or the connection failed (errorText() then says why, and alive() is false).
    bool tryTake(const QString &identity);
    // Lets the terminal go for a standby to take.
    void release(const QString &identity);
    bool holds(const QString &identity) const { return held_.contains(identity); }
    // Whether the session still exists (one round trip). When it died every lease went with it: holds()
    // is then false for all, and the caller stops collecting and opens a new lease.
    bool alive();
    QString errorText() const { return error_; }

    static qint64 keyOf(const QString &identity);

private:
    explicit TerminalLease(std::unique_ptr<Database> db);
    void lost(const QString &why);

    std::unique_ptr<Database> db_;
    QSet<QString> held_;
    QString error_;
};
