#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

// The check behind CheckData: the lines of DataRecordSet_original.txt against the raw layout for
// the options they were collected with, before the terminal's own count is compared.
namespace RawFileCheck {

// 0 valid; 2 a line of the wrong length; 3 a line with a bad field (machine number, card, date and
// time, flag). The code is that of the first bad line.
struct Result {
    int code = 0;
    int records = 0;        // lines that are not blank
    QString message;        // names up to `named` bad lines, then how many there were
    QDateTime first, last;  // the earliest and the latest record time of a valid file
};

struct Options {
    int machine = 0;  // the address the lines must carry
    bool decimalCards = false;
    bool fullYear = false;
    int named = 3;     // bad lines named in the message
    int century = 20;  // two-digit years are century * 100 + yy
};

Result check(const QStringList &lines, const Options &o);

// The layout of times in CheckData's messages, taken from a sample time: "2008/3/7 10:10" (what the
// console passes) gives "yyyy/M/d H:mm"; "2008-03-07 10:10:00" gives "yyyy-MM-dd HH:mm:ss". The empty
// text when the sample is none of the known layouts.
QString timeLayout(const QString &sample);

}  // namespace RawFileCheck
