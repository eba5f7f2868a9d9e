#pragma once

#include "attctl/CommandTable.h"

#include <QString>

// The text of attctl --help: the global options and every command.
QString usageText(const std::vector<CommandSpec> &table);
// One command's line of help.
QString commandUsage(const CommandSpec &command);
