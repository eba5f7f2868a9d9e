#pragma once

#include "sync/DatabaseUrl.h"

#include <QString>
#include <optional>

// The database of --db (sqlite:PATH or postgresql://...), the default file without it; UsageError
// for a URL that cannot be read.
DatabaseUrl databaseOf(const std::optional<QString> &text);
