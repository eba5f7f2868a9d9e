#pragma once

#include "attlink/protocol/RosterBlock.h"
#include "sync/PunchExport.h"

#include <QMutex>
#include <QString>
#include <vector>

class Database;

// Terminals' rosters in the database (table `rosters`, docs/sync.md): one row per terminal identity
// and card, so that an auditor can ask which terminals let a card in.
class RosterStore {
public:
    explicit RosterStore(Database &db) : db_(db) {}
    // Stores of several connections of one process to one SQLite file queue on this.
    void setWriteGate(QMutex *gate) { gate_ = gate; }

    // The roster of the terminal `identity` (named `terminal` in the fleet file) becomes `entries`, in
    // one transaction: on failure the earlier one stays.
    bool replace(const QString &identity, const QString &terminal, const std::vector<PackedRosterEntry> &entries,
                 QString &error);

    // Rows per INSERT statement.
    static constexpr int BatchRows = 500;

private:
    bool insert(const QString &identity, const QString &terminal, const QString &pulledAt,
                const PackedRosterEntry *entries, int count, QString &error);

    Database &db_;
    QMutex *gate_ = nullptr;
};

namespace RosterExport {

// Every stored roster row as CSV (UTF-8, a header row): terminal, identity, card, card_hex,
// job_number, name, pulled_at; ordered by card, then identity.
bool writeCsv(Database &db, const PunchExport::Sink &out, qint64 &rows, QString &error);

}  // namespace RosterExport
