#pragma once

#include "sync/Database.h"

#include <QTextStream>
#include <memory>
#include <optional>

// The database of a command that reads stored punches (report, push): `--db` or the default file.
// Opens it and checks that it is at the current schema version; null with the reason on `err`.
std::unique_ptr<Database> openStoredPunches(const std::optional<QString> &dbText, QTextStream &err);
