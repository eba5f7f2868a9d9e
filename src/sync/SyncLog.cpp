#include "sync/SyncLog.h"

Q_LOGGING_CATEGORY(syncLog, "zevo.sync", QtWarningMsg)
