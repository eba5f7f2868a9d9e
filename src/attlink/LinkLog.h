#pragma once

#include <QLoggingCategory>

// The link's events, one line each with its cause: a line opened or not, a retry, a line given up,
// a slower rate adopted. Off unless enabled (QT_LOGGING_RULES="zevo.link.info=true", or attctl
// --verbose); the bytes themselves are the wire trace's (zevo.link.wire, WireTrace.h).
Q_DECLARE_LOGGING_CATEGORY(linkLog)
