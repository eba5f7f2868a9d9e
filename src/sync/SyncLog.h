#pragma once

#include <QLoggingCategory>

// The sync's steps per terminal (identify, collect, store, clear) with their times, and its lines
// opened. Off unless enabled (QT_LOGGING_RULES="zevo.sync.info=true", or attctl --verbose).
Q_DECLARE_LOGGING_CATEGORY(syncLog)
