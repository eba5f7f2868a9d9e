#pragma once

#include "ui/CommandContext.h"

#include <QString>
#include <optional>

// Small pieces the records commands share.
namespace RecordSupport {

inline const QString RawFileName = QStringLiteral("DataRecordSet_original.txt");
inline const QString FormattedFileName = QStringLiteral("DataRecordSet.txt");

// The terminal address of TxtAddress in 0..255; otherwise shows "请输入考勤机地址。" and gives none.
// A text that is not a number is refused the same way, before any file or device-link call.
std::optional<qint16> checkedAddress(const CommandContext &ctx);

// "number:description", OK, no icon, under the given title (empty: the application's title).
void reportError(const CommandContext &ctx, int number, const QString &description,
                 const QString &title = QString());

QString filePath(const CommandContext &ctx, const QString &name);

}  // namespace RecordSupport
