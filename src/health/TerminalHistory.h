#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

class Database;

// One terminal's samples, one per successful sync: how full its memory was and how far its clock
// drifted, for charts over time. Read only.
struct TerminalSample {
    QDateTime at;                 // this computer's time of the sync
    std::optional<double> fill;   // 0..1; none for a terminal that does not tell its memory
    std::optional<qint64> drift;  // seconds, terminal minus computer
    qint64 lost = 0;              // records found lost at that sync
    quint64 lastSerial = 0;
};

namespace TerminalHistory {

// The samples of the terminal with `identity` since `since`, oldest first, at most `limit` of the
// newest; `found` false when no terminal has that identity. False with `error`.
bool read(Database &db, const QString &identity, const QDateTime &since, int limit, QList<TerminalSample> &out,
          bool &found, QString &error);

}  // namespace TerminalHistory
