#include "attlink/LinkLog.h"

Q_LOGGING_CATEGORY(linkLog, "zevo.link", QtWarningMsg)
