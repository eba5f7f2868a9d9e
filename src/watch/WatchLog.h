#pragma once

#include <QLoggingCategory>

// The watch's messages: a line lost and recovered, the database or an output unreachable and back.
// Warnings are on by default; `--verbose` adds the info messages.
Q_DECLARE_LOGGING_CATEGORY(watchLog)
