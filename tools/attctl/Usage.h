#pragma once

#include "attctl/CommandTable.h"

#include <QString>

// The text of attctl --help: the global options and every command.
QString usageText(const std::vector<CommandEntry> &table);
// One command's line of help.
QString commandUsage(const CommandEntry &command);
