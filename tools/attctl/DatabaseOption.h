#pragma once

#include "sync/Database.h"
#include "sync/DatabaseUrl.h"

#include <QString>
#include <memory>
#include <optional>

// The database of `--db URL`, for the commands that store or export.
namespace DatabaseOption {

// The URL given, else the default location; UsageError for a URL that does not parse.
DatabaseUrl urlOf(const std::optional<QString> &text);

// The database made ready for writing before any terminal is touched (the default file's folder
// created, the schema brought up to date, writes tried): null with `error` when it cannot be used.
// A database locked by another program is waited for up to `lockWaitSeconds`.
std::unique_ptr<Database> openForWriting(const DatabaseUrl &url, bool given, QString &error, int lockWaitSeconds);

}  // namespace DatabaseOption
