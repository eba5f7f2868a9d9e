#pragma once

#include "sim/Terminal.h"

#include <QString>

// Filling a terminal before the line opens: generated records and roster (the same for the same
// seed), or records read from a file.
namespace Generate {

// N records of cards from the roster (or from a pool of made-up cards when the roster is empty),
// in time order from 2009-03-02 07:30:00 on.
void records(Terminal &t, int count, quint64 seed);
// N roster entries with job numbers 00000001.. and Chinese names.
void roster(Terminal &t, int count, quint64 seed);
// One record a line: CARD YYYY-MM-DD hh:mm:ss FLAG (8 hex digits, 4-character flag). Blank lines
// are skipped; any other bad line fails the whole load with its line number.
bool loadRecords(Terminal &t, const QString &path, QString &error);

}  // namespace Generate
