#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <cstdint>

class Database;

// What the daily report covers: the days from `from` to `to` (inclusive), each starting at
// `dayStartsMinutes` after midnight of its date in the terminals' wall-clock time, so that a night
// shift stays in one day.
struct DailyOptions {
    QDate from, to;
    int doubleTapSeconds = 60;  // a punch this close to the one before it is a double tap
    int dayStartsMinutes = 0;
};

// One card on one day.
struct DailyRow {
    uint32_t card = 0;
    QString jobNumber, name;  // from the cards table; empty when not filled in
    QDate date;
    quint64 firstIn = 0;       // stamp (sync/Punch.h) in the terminal's wall-clock time
    quint64 lastOut = 0;       // 0 when there is no second punch
    int punches = 0;           // every punch of the day, double taps included
    qint64 workedSeconds = 0;  // the sum of the in-out pairs, measured in UTC
    bool odd = false;          // a punch has no partner (a missing punch)
    int doubleTaps = 0;        // left out of the pairs, kept in the database
    bool dstGap = false;       // a punch's time fell in a daylight-saving gap

    // "odd;double-taps=2;suspect": the flags joined by ';', empty when none.
    QString flags() const;
};

// Per card and day from the raw punches, which stay as they are: the punches of a day, in the order
// of their moments, leave out double taps and pair up in turn (in, out, in, out...).
namespace DailyReport {

// The rows ordered by date, then card; false with `error` when the database fails.
bool rows(Database &db, const DailyOptions &options, QList<DailyRow> &rows, QString &error);

// Seconds as H:MM (minutes rounded down).
QString workedText(qint64 seconds);

}  // namespace DailyReport
