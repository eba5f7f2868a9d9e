#pragma once

#include <QDateTime>
#include <QString>

class Database;

// What the database knows of a terminal before its sync, and what a sync notes beside its punches:
// why it failed, the memory left after clearing, the run as a whole.
namespace TerminalNotes {

struct Known {
    bool stored = false;       // the identity has a row
    quint64 lastSerial = 0;    // newest serial stored, 0 when none
    quint64 oldestSerial = 0;  // the oldest serial the terminal could still give at its last sync, 0 unknown
    quint64 lastStamp = 0;     // time of the punch at lastSerial (yyyyMMddHHmmss), 0 when not stored
};

// The terminal of an identity as stored (all zero for one never synced); false with `error`.
bool known(Database &db, const QString &identity, Known &out, QString &error);

// A failed sync: the reason on the terminal's row (by identity, or by name when it did not identify
// itself), with `seenAt` as its last answer when valid. Nothing happens for a terminal never stored.
bool failure(Database &db, const QString &name, const QString &identity, const QString &why, const QDateTime &seenAt,
             QString &error);

// The records a terminal holds after clearing.
bool held(Database &db, const QString &identity, quint64 held, QString &error);

// A finished sync run, for the metrics.
bool run(Database &db, const QDateTime &at, double seconds, int terminals, int failed, qint64 records, QString &error);

}  // namespace TerminalNotes
