#include "watch/WatchLog.h"

Q_LOGGING_CATEGORY(watchLog, "zevo.watch", QtWarningMsg)
