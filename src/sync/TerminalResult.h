#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

// What the sync of one terminal did, for its line of the report.
struct TerminalResult {
    QString name;
    QString identity;                       // empty when the terminal did not identify itself
    QStringList replaced;                   // identities stored before under its name or line and address
    qint64 newRecords = 0;                  // punches that were new to the database (dry run: waiting)
    std::optional<quint64> lastSerial;      // stored for the terminal after the sync (dry run: before it)
    std::optional<quint64> terminalSerial;  // the terminal's newest serial, as it identified itself
    std::optional<qint64> drift;            // seconds, the terminal's clock minus the computer's
    std::optional<qint64> tolerance;        // the fleet file's clock-tolerance
    bool clockSet = false;
    std::optional<qint64> cleared;   // records deleted from the terminal
    qint64 lost = 0;                 // records overwritten before they were collected (dry run: would be)
    std::optional<int> fillPercent;  // of the terminal's memory after the sync; none for a terminal that does not tell
    QDateTime seenAt;                // when it identified itself; invalid when it did not
    QString error;                   // empty: synced
    bool started = true;             // false: the sync was stopped before this terminal

    bool ok() const { return error.isEmpty(); }
};
