#pragma once

#include "layout/RecordLayout.h"

#include <QString>
#include <QStringList>
#include <optional>

// The operator's record layout written as one text: field names in braces, everything else the
// separators around them, e.g. "{机号},{卡号},{年}-{月}-{日} {时}:{分}:{秒}". At most eight fields, as
// the window's record-format panel has; "{{" and "}}" stand for literal braces.
namespace LayoutText {

// The field names a layout may use.
QStringList fieldNames();

// The layout, or nothing with `error` saying what is wrong (unknown or empty name, a brace left
// open or closed alone, more than eight fields).
std::optional<RecordLayout> parse(const QString &text, bool decimalCards, bool fullYear, QString &error);

// The layout text of a layout (the inverse of parse for the names it knows).
QString toText(const RecordLayout &layout);

}  // namespace LayoutText
