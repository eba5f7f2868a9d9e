#pragma once

#include "sync/Punch.h"

#include <QDateTime>
#include <QMutex>
#include <QSet>
#include <QStringList>
#include <QString>
#include <functional>

class Database;

// What a sync learnt about a terminal, kept in its row of the terminals table.
struct TerminalFacts {
    QString identity;
    QString name;  // the terminal's name in the fleet file
    QString model;
    QString firmware;
    int address = 0;
    QString line;
    qint64 clockDrift = 0;  // seconds, terminal minus computer
    QString timezone;       // IANA name of the terminal's zone; empty: this computer's
    QDateTime syncedAt;
    // Its memory when it answered (hasMemory false: a terminal that does not tell it).
    bool hasMemory = false;
    quint64 capacity = 0;
    quint64 held = 0;
    quint64 firstAvailable = 0;  // TerminalIdentity::firstAvailable(): serials below it are gone
};

// The punches of the terminals in a database whose schema is current. A punch is keyed by
// (terminal identity, serial) and inserted only when that key is new, so that any number of syncs,
// in any order and in any number of processes, store each punch exactly once.
class PunchStore {
public:
    explicit PunchStore(Database &db) : db_(db) {}
    Database &database() { return db_; }

    // The newest serial stored for a terminal identity, 0 when none; false with `error`. `known`
    // tells whether the database has the identity at all.
    bool lastSerial(const QString &identity, quint64 &serial, QString &error, bool *known = nullptr);

    // The other identities stored under the terminal's name, or at its line and address: the
    // terminals a new one replaced. The store renames those under the name to "NAME (replaced by
    // IDENTITY)", so that the name selects one terminal's punches.
    bool replacedIdentities(const TerminalFacts &terminal, QStringList &identities, QString &error);

    // In ONE transaction: the terminal's row (created or updated), every punch `next` yields (it
    // returns false at the end, or sets `sourceError` to abandon), and the terminal's last serial
    // raised to `newLast`, the records lost (below `firstAvailable`, after the last serial stored: never
    // collected) counted, and a sample of the terminal's memory and clock. Each punch is placed in UTC in
    // the terminal's zone as it stands now; when the zone changed, the punches stored before time zones
    // were kept get the old zone's offsets first, so that no punch moves. Nothing is kept when any part
    // fails. `inserted` counts the punches that
    // were new to the database. `durable`: the commit reaches the disk before this returns, also
    // against a power cut (needed before records are deleted from a terminal); otherwise a SQLite
    // commit may wait for the next checkpoint, as the terminal still holds everything.
    bool store(const TerminalFacts &terminal, const std::function<bool(Punch &, QString &sourceError)> &next,
               quint64 newLast, qint64 &inserted, QString &error, bool durable = true);

    // Records the last store() found lost.
    qint64 lost() const { return lost_; }

    // Stores of several connections of one process to one SQLite file queue on this instead of on
    // SQLite's busy handler, which sleeps in steps of up to 100 ms.
    void setWriteGate(QMutex *gate) { gate_ = gate; }

    // Rows per INSERT statement.
    static constexpr int BatchRows = 1000;

private:
    bool upsertTerminal(const TerminalFacts &t, qint64 &id, QString &error);
    bool keepOffsetsOfOldZone(qint64 terminalId, const QString &oldZone, QString &error);
    bool previousUtc(qint64 terminalId, const QString &zone, qint64 &utc, QString &error);
    bool insertBatch(qint64 terminalId, const Punch *punches, int count, qint64 &inserted, QString &error);
    bool insertBatchSqlite(qint64 terminalId, const Punch *punches, int count, qint64 &inserted, QString &error);
    void rememberCard(uint32_t card);
    bool copyBatchPostgres(const Punch *punches, int count, QString &error);
    bool moveIncomingPostgres(qint64 terminalId, qint64 &inserted, QString &error);
    bool insertCards(QString &error);
    bool countLost(const TerminalFacts &t, qint64 id, quint64 &newLast, QString &error);
    bool insertSample(const TerminalFacts &t, qint64 id, quint64 lastSerial, QString &error);

    Database &db_;
    QMutex *gate_ = nullptr;
    bool incomingReady_ = false;
    QSet<uint32_t> knownCards_;
    QList<uint32_t> newCards_;
    QString firstSeen_;
    qint64 lost_ = 0;
};
