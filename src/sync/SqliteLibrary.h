#pragma once

#include <QString>

class QSqlDatabase;

// The punch store hands its rows to SQLite through the handle of Qt's SQLite driver, with the
// libsqlite3 this program links. That is sound only when both are one library (a Qt built against
// the system's SQLite, as Debian's is); a driver with its own copy would be driven by another
// library's code. Checked once per process on the first open connection.
namespace SqliteLibrary {

// True when the driver's SQLite (select sqlite_version(), sqlite_source_id()) is the library this
// program links; false with `error` saying both.
bool sameAsDriver(QSqlDatabase &db, QString &error);

}  // namespace SqliteLibrary
