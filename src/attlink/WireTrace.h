#pragma once

#include "attlink/LinkFailure.h"
#include "attlink/protocol/Frame.h"

#include <QByteArray>
#include <QLoggingCategory>
#include <QString>

// The wire trace: every frame the link sends and receives, in hexadecimal with the time, direction,
// address, command and sequence, and every retry with its cause. Off unless the logging category
// zevo.link.wire is enabled (QT_LOGGING_RULES="zevo.link.wire.debug=true", or attctl --trace);
// each call costs one test of the category when it is off.
Q_DECLARE_LOGGING_CATEGORY(wireTrace)

namespace WireTrace {

inline bool enabled() { return wireTrace().isDebugEnabled(); }

// A request as it leaves; attempt counts from 1.
void sent(const Frame::Message &request, const QByteArray &frame, int attempt);
// A whole frame that arrived, with what it was to the exchange ("reply", "not ours: ...").
void received(const Frame::Message &frame, const QString &verdict);
// Bytes of an attempt that gave no reply of ours (garbage, a damaged or cut frame).
void unframed(const QByteArray &bytes, const QString &cause);
// The next attempt of a request, and why.
void retry(int attempt, int attempts, const QString &cause);
// A change of how the link talks on this line (a slower rate adopted, smaller requests), and why.
void note(const QString &text);
// A request given up.
void gaveUp(const QString &cause);

// Why an attempt or a request failed, in the trace's words.
QString cause(LinkFailure failure);
// The name of a command code ("RecordCount"), or its number.
QString commandName(uint8_t command);

}  // namespace WireTrace
