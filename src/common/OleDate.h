#pragma once

#include <QTime>

// OLE automation dates: a count of days from 30 December 1899 whose fraction is the time of day.
namespace OleDate {

// A time of day on the zero day (day part 0).
double fromTimeOfDay(int hour, int minute, int second = 0);

// The time of day of a date value, to the nearest second.
QTime toTimeOfDay(double value);

}  // namespace OleDate
