#pragma once

#include "attctl/CommandTable.h"

#include <QString>

// The text of attctl --help: the global options, the fleet commands, then every other command, each
// with its one line, wrapped under 80 columns.
QString usageText(const std::vector<CommandEntry> &table);
// The text of attctl COMMAND --help: its usage, what it does, and its details.
QString commandUsage(const CommandEntry &command);
// `text` broken at blanks into lines of at most 79 columns (a wide character counts two), the first
// line starting at column `first`, the others indented by `indent` blanks. A word that is longer
// than a line stands alone on its line.
QString wrapped(const QString &text, int indent, int first = -1);
