#pragma once

#include "attctl/CommandTable.h"
#include "sync/DatabaseUrl.h"

// `attctl export --format roster-csv`: the rosters `roster pull` stored, as CSV.
int exportRosters(CliContext &c, const DatabaseUrl &url, bool urlGiven, const QString &outPath);
