#pragma once

#include <QString>

class Database;

// The punch database's tables and their versions (docs/sync.md). Each version is a list of
// statements applied in one transaction; the table zevo_schema holds the version a database is at.
namespace Schema {

// The version this program writes.
constexpr int Current = 4;

// Brings the database to Current (or to an older `target`, which tests use to make an old database):
// creates the tables of a new database, applies the steps an older one lacks. Refuses a database of a
// newer version. Several programs may do this at once.
bool migrate(Database &db, QString &error, int target = Current);

// The version the database is at: 0 for a database without our tables; -1 with `error` on failure.
int version(Database &db, QString &error);
// The same, and -1 with `error` for a version newer than this program's, which it cannot use.
int usableVersion(Database &db, QString &error);
// True when the database is at Current, for a command that only reads it; otherwise false with
// `error` saying why `purpose` ("cannot export", "cannot show") cannot go on: no sync has run, an
// older schema, or one it cannot read.
bool readable(Database &db, const QString &purpose, QString &error);

// Checks that the database accepts writes, changing nothing (a read-only file, a role that may not
// write): false with a message naming the database.
bool checkWritable(Database &db, QString &error);

}  // namespace Schema
