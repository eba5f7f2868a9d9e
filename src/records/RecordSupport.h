#pragma once

#include "ui/CommandContext.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

// Small pieces the records commands share.
namespace RecordSupport {

inline const QString RawFileName = QStringLiteral("DataRecordSet_original.txt");
inline const QString FormattedFileName = QStringLiteral("DataRecordSet.txt");

// The terminal address of TxtAddress in 0..255; otherwise shows "请输入考勤机地址。" and gives none.
// A text that is not a number is refused the same way, before any file or device-link call.
std::optional<qint16> checkedAddress(const CommandContext &ctx);

// "number:description", OK, no icon, under the given title (empty: the application's title).
void reportError(const CommandContext &ctx, int number, const QString &description, const QString &title = QString());

QString filePath(const CommandContext &ctx, const QString &name);

// Runs a command whose error handling is ours to choose: an error it raises is shown as
// "number:description" under the application's title, and the window stays usable.
void guarded(const CommandContext &ctx, const std::function<void()> &command);

// Replaces the file with the content in one step (written beside it, synced, then renamed), so a
// failed write leaves the earlier file as it was. Raises 75 ("路径/文件访问错误：" + path and the
// reason, e.g. the disk is full) on failure.
void replaceFile(const QString &path, const QByteArray &content);

// The content of a file; raises 53 ("文件未找到：" + path) when it cannot be read.
QByteArray readWholeFile(const QString &path);

}  // namespace RecordSupport
